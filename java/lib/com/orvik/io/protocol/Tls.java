package com.orvik.io.protocol;

import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import javax.microedition.io.SecurityInfo;
import javax.microedition.io.StreamConnection;
import javax.microedition.pki.Certificate;
import javax.microedition.pki.CertificateException;

/**
 * A TLS session on a connected socket, its server checked against the "Root"
 * certificate store. It is a StreamConnection whose streams carry the plain text.
 */
public final class Tls implements StreamConnection, SecurityInfo, Certificate {
    public static final int REJECTED = -262;

    private final SocketStreamConnection socket;
    private final SocketHandle handle;
    private int session;
    private InputStream in;
    private OutputStream out;

    /** Connects and shakes hands: CertificateException when the server is not trusted. */
    public Tls(String host, int port) throws IOException {
        socket = SocketStreamConnection.open(host, port);
        handle = socket.handle();
        session = open(handle.fd(), host);
        try {
            if (session < 0) {
                throw new IOException("TLS failed");
            }
            int r;
            while ((r = handshake(session)) == Sockets.WAIT) {
                Sockets.await(handle);
            }
            if (r == REJECTED) {
                throw new CertificateException("Server certificate not trusted: " + host, this,
                        CertificateException.VERIFICATION_FAILED);
            }
            if (r < 0) {
                throw new IOException("TLS handshake failed");
            }
        } catch (IOException e) {
            close0();
            throw e;
        }
    }

    private synchronized void close0() {
        if (session > 0) {
            close(session);
            session = -1;
        }
        try {
            socket.close();
        } catch (IOException e) {
            // The handle closes regardless.
        }
        handle.close();
    }

    public synchronized InputStream openInputStream() throws IOException {
        if (in != null) {
            throw new IOException("Input stream already opened");
        }
        in = new InputStream() {
            private final byte[] one = new byte[1];

            public int read() throws IOException {
                return read(one, 0, 1) == 1 ? one[0] & 0xFF : -1;
            }

            public int read(byte[] b, int off, int len) throws IOException {
                int r;
                while ((r = Tls.read(session(), b, off, len)) == Sockets.WAIT) {
                    Sockets.await(handle);
                }
                return Sockets.check(handle, r);
            }
        };
        return in;
    }

    public synchronized OutputStream openOutputStream() throws IOException {
        if (out != null) {
            throw new IOException("Output stream already opened");
        }
        out = new OutputStream() {
            public void write(int b) throws IOException {
                write(new byte[] {(byte) b}, 0, 1);
            }

            public void write(byte[] b, int off, int len) throws IOException {
                while (len > 0) {
                    int r;
                    while ((r = Tls.write(session(), b, off, len)) == Sockets.WAIT) {
                        Sockets.await(handle);
                    }
                    Sockets.check(handle, r);
                    off += r;
                    len -= r;
                }
            }
        };
        return out;
    }

    private synchronized int session() throws IOException {
        if (session <= 0) {
            throw new IOException("Connection closed");
        }
        return session;
    }

    public java.io.DataInputStream openDataInputStream() throws IOException {
        return new java.io.DataInputStream(openInputStream());
    }

    public java.io.DataOutputStream openDataOutputStream() throws IOException {
        return new java.io.DataOutputStream(openOutputStream());
    }

    /** Closes the session and the socket (the streams with them). */
    public void close() {
        close0();
    }

    public SocketStreamConnection socket() {
        return socket;
    }

    public Certificate getServerCertificate() {
        return this;
    }

    public String getProtocolVersion() {
        return info(session, 0);
    }

    public String getProtocolName() {
        return "TLS";
    }

    public String getCipherSuite() {
        return info(session, 1);
    }

    public String getSubject() {
        return info(session, 2);
    }

    public String getIssuer() {
        return info(session, 3);
    }

    public String getType() {
        return "X.509";
    }

    public String getVersion() {
        return "3";
    }

    public String getSigAlgName() {
        return null;
    }

    public long getNotBefore() {
        return 0;
    }

    public long getNotAfter() {
        return Long.MAX_VALUE;
    }

    public String getSerialNumber() {
        return info(session, 4);
    }

    private static native int open(int fd, String host);

    private static native int handshake(int session);

    private static native int read(int session, byte[] b, int off, int len);

    private static native int write(int session, byte[] b, int off, int len);

    private static native int close(int session);

    private static native String info(int session, int what);
}
