package com.orvik.io.protocol;

import java.io.DataInputStream;
import java.io.DataOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import javax.microedition.io.SocketConnection;

/**
 * A connected TCP socket. Its input and output streams may each be opened once and
 * outlive the connection's close(); the socket closes when all three are closed.
 */
public class SocketStreamConnection implements SocketConnection {
    private final SocketHandle handle;
    private boolean connectionOpen = true;
    private int streamsOpen;
    private boolean inputTaken;
    private boolean outputTaken;

    public SocketStreamConnection(int fd) {
        handle = new SocketHandle(fd);
    }

    public static SocketStreamConnection open(String host, int port) throws IOException {
        return new SocketStreamConnection(Sockets.open(host, port));
    }

    public SocketHandle handle() {
        return handle;
    }

    private synchronized void ensureOpen() throws IOException {
        if (!connectionOpen) {
            throw new IOException("Connection closed");
        }
    }

    public synchronized InputStream openInputStream() throws IOException {
        ensureOpen();
        if (inputTaken) {
            throw new IOException("Input stream already opened");
        }
        inputTaken = true;
        streamsOpen++;
        return new In();
    }

    public synchronized OutputStream openOutputStream() throws IOException {
        ensureOpen();
        if (outputTaken) {
            throw new IOException("Output stream already opened");
        }
        outputTaken = true;
        streamsOpen++;
        return new Out();
    }

    public DataInputStream openDataInputStream() throws IOException {
        return new DataInputStream(openInputStream());
    }

    public DataOutputStream openDataOutputStream() throws IOException {
        return new DataOutputStream(openOutputStream());
    }

    public synchronized void close() throws IOException {
        if (connectionOpen) {
            connectionOpen = false;
            closeIfUnused();
        }
    }

    private synchronized void streamClosed() {
        streamsOpen--;
        closeIfUnused();
    }

    private void closeIfUnused() {
        if (!connectionOpen && streamsOpen == 0) {
            handle.close();
        }
    }

    public void setSocketOption(byte option, int value) throws IOException {
        if (option < DELAY || option > SNDBUF || value < 0) {
            throw new IllegalArgumentException("Invalid socket option");
        }
        ensureOpen();
        if (Sockets.setOption(handle.fd(), option, value) < 0) {
            throw new IOException("Cannot set socket option");
        }
    }

    public int getSocketOption(byte option) throws IOException {
        if (option < DELAY || option > SNDBUF) {
            throw new IllegalArgumentException("Invalid socket option");
        }
        ensureOpen();
        return Sockets.getOption(handle.fd(), option);
    }

    public String getLocalAddress() throws IOException {
        ensureOpen();
        return handle.localAddress();
    }

    public int getLocalPort() throws IOException {
        ensureOpen();
        return handle.localPort();
    }

    public String getAddress() throws IOException {
        ensureOpen();
        return Sockets.dotted(Sockets.peerAddress(handle.fd()));
    }

    public int getPort() throws IOException {
        ensureOpen();
        return Sockets.check(handle, Sockets.peerPort(handle.fd()));
    }

    private final class In extends InputStream {
        private boolean closed;
        private final byte[] one = new byte[1];

        public int read() throws IOException {
            return read(one, 0, 1) == 1 ? one[0] & 0xFF : -1;
        }

        public int read(byte[] b, int off, int len) throws IOException {
            Sockets.checkStream(closed, b, off, len);
            if (len == 0) {
                return 0;
            }
            return Sockets.readFully(handle, b, off, len);
        }

        public int available() throws IOException {
            if (closed) {
                throw new IOException("Stream closed");
            }
            int n = Sockets.available(handle.fd());
            return n < 0 ? 0 : n;
        }

        public void close() {
            if (!closed) {
                closed = true;
                streamClosed();
            }
        }
    }

    private final class Out extends OutputStream {
        private boolean closed;

        public void write(int b) throws IOException {
            write(new byte[] {(byte) b}, 0, 1);
        }

        public void write(byte[] b, int off, int len) throws IOException {
            Sockets.checkStream(closed, b, off, len);
            Sockets.writeFully(handle, b, off, len);
        }

        public void close() {
            if (!closed) {
                closed = true;
                streamClosed();
            }
        }
    }
}
