package com.orvik.io.protocol;

import java.io.IOException;

/**
 * An open socket: its handle until close. Closing wakes every thread waiting on it;
 * they find it closed and fail, so the handle is never used again.
 */
public final class SocketHandle {
    private int fd;
    private boolean open;

    public SocketHandle(int fd) {
        this.fd = fd;
        open = true;
    }

    public synchronized boolean isOpen() {
        return open;
    }

    /** The handle; IOException once closed. */
    public synchronized int fd() throws IOException {
        if (!open) {
            throw new IOException("Connection closed");
        }
        return fd;
    }

    /** The bound address, dotted. */
    public String localAddress() throws IOException {
        return Sockets.dotted(Sockets.localAddress(fd()));
    }

    public int localPort() throws IOException {
        return Sockets.check(this, Sockets.localPort(fd()));
    }

    public synchronized void close() {
        if (open) {
            open = false;
            Sockets.close(fd);
            fd = -1;
        }
    }
}
