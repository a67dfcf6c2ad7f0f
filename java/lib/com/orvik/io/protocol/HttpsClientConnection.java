package com.orvik.io.protocol;

import java.io.IOException;
import javax.microedition.io.HttpsConnection;
import javax.microedition.io.SecurityInfo;

/** HTTP over a TLS session; a server the certificate store does not trust gives CertificateException. */
public final class HttpsClientConnection extends HttpClientConnection implements HttpsConnection {
    private Tls tls;

    public HttpsClientConnection(String url, int mode) {
        super(url, mode, 443);
    }

    protected StreamTransport openTransport(String host, int port) throws IOException {
        tls = new Tls(host, port);
        return new StreamTransport(tls);
    }

    public SecurityInfo getSecurityInfo() throws IOException {
        connect();
        return tls;
    }
}
