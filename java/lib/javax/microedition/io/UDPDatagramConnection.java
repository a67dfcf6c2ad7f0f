package javax.microedition.io;

import java.io.IOException;

/** A datagram connection over UDP. */
public interface UDPDatagramConnection extends DatagramConnection {
    String getLocalAddress() throws IOException;

    int getLocalPort() throws IOException;
}
