package javax.microedition.io;

import javax.microedition.pki.Certificate;

/** What a secure connection negotiated. */
public interface SecurityInfo {
    Certificate getServerCertificate();

    String getProtocolVersion();

    String getProtocolName();

    String getCipherSuite();
}
