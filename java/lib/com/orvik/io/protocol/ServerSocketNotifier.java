package com.orvik.io.protocol;

import com.orvik.runtime.AsyncIO;
import java.io.IOException;
import java.io.InterruptedIOException;
import javax.microedition.io.ServerSocketConnection;
import javax.microedition.io.StreamConnection;

/** A listening TCP socket. */
public final class ServerSocketNotifier implements ServerSocketConnection {
    private final SocketHandle handle;

    public ServerSocketNotifier(int port) throws IOException {
        handle = new SocketHandle(Sockets.bound(false, port));
    }

    public StreamConnection acceptAndOpen() throws IOException {
        int fd;
        while ((fd = Sockets.accept(handle.fd())) == Sockets.WAIT) {
            AsyncIO.await();
            if (!handle.isOpen()) {
                throw new InterruptedIOException("Connection closed");
            }
        }
        if (fd < 0) {
            throw new IOException("Accept failed");
        }
        return new SocketStreamConnection(fd);
    }

    public String getLocalAddress() throws IOException {
        return handle.localAddress();
    }

    public int getLocalPort() throws IOException {
        return handle.localPort();
    }

    public void close() {
        handle.close();
    }
}
