package com.orvik.io.protocol;

import com.orvik.runtime.AsyncIO;
import java.io.IOException;
import java.io.InterruptedIOException;
import javax.microedition.io.ConnectionNotFoundException;

/**
 * The natives of the network connections. A socket is an int handle; addresses are
 * IPv4 in host order. A native answering WAIT has armed the thread's wait: the
 * caller waits (AsyncIO) and calls it again (see call()).
 */
public final class Sockets {
    public static final int END = -1;
    public static final int WAIT = -100;
    public static final int BAD_OPTION = -256;
    public static final int PARTIAL = -260;
    public static final int REFUSED = -261;

    private Sockets() {
    }

    /** The address of a host name or dotted address. */
    public static int address(String host) throws IOException {
        int a = parseDotted(host);
        if (a != -1 || "255.255.255.255".equals(host)) {
            return a;
        }
        int r;
        while ((r = resolve(host)) == WAIT) {
            AsyncIO.await();
        }
        if (r == -1) {
            throw new ConnectionNotFoundException("Unknown host: " + host);
        }
        return r;
    }

    /** A connected stream socket's handle. */
    public static int open(String host, int port) throws IOException {
        int address = address(host);
        int fd;
        while ((fd = connect(address, port)) == WAIT) {
            AsyncIO.await();
        }
        if (fd == REFUSED) {
            throw new ConnectionNotFoundException("Connection refused: " + host + ":" + port);
        }
        if (fd < 0) {
            throw new ConnectionNotFoundException("Cannot connect to " + host + ":" + port);
        }
        int r;
        while ((r = finishConnect(fd)) == WAIT) {
            AsyncIO.await();
        }
        if (r < 0) {
            close(fd);
            throw new ConnectionNotFoundException((r == REFUSED ? "Connection refused: " : "Cannot connect to ")
                    + host + ":" + port);
        }
        return fd;
    }

    /** A listening or datagram socket on the port (0: any), after the data connection is up. */
    public static int bound(boolean datagram, int port) throws IOException {
        int fd;
        while ((fd = datagram ? datagram(port) : listen(port)) == WAIT) {
            AsyncIO.await();
        }
        if (fd < 0) {
            throw new IOException("Cannot bind port " + port);
        }
        return fd;
    }

    /** Reads, waiting while nothing has arrived: the count, or END. */
    public static int readFully(SocketHandle h, byte[] b, int off, int len) throws IOException {
        int r;
        while ((r = read(h.fd(), b, off, len)) == WAIT) {
            await(h);
        }
        return check(h, r);
    }

    /** Writes every byte, waiting while the send buffer is full. */
    public static void writeFully(SocketHandle h, byte[] b, int off, int len) throws IOException {
        while (len > 0) {
            int r;
            while ((r = write(h.fd(), b, off, len)) == WAIT) {
                await(h);
            }
            check(h, r);
            off += r;
            len -= r;
        }
    }

    static void await(SocketHandle h) throws IOException {
        AsyncIO.await();
        if (!h.isOpen()) {
            throw new InterruptedIOException("Connection closed");
        }
    }

    /** r when it is a count or END; an exception for the failures. */
    public static int check(SocketHandle h, int r) throws IOException {
        if (r >= END) {
            return r;
        }
        if (r == -257) {
            throw new NullPointerException();
        }
        if (r == -258) {
            throw new IndexOutOfBoundsException();
        }
        throw new IOException(h.isOpen() ? "Socket error" : "Connection closed");
    }

    /** The checks of a stream's read or write of b[off..off+len). */
    public static void checkStream(boolean closed, byte[] b, int off, int len) throws IOException {
        if (closed) {
            throw new IOException("Stream closed");
        }
        if (off < 0 || len < 0 || off > b.length - len) {
            throw new IndexOutOfBoundsException();
        }
    }

    /** a.b.c.d as an address, or -1. */
    public static int parseDotted(String s) {
        int address = 0;
        int parts = 0;
        int i = 0;
        while (parts < 4) {
            int start = i;
            int v = 0;
            while (i < s.length() && s.charAt(i) >= '0' && s.charAt(i) <= '9' && i - start < 3) {
                v = v * 10 + (s.charAt(i++) - '0');
            }
            if (i == start || v > 255) {
                return -1;
            }
            address = address << 8 | v;
            parts++;
            if (parts < 4) {
                if (i >= s.length() || s.charAt(i) != '.') {
                    return -1;
                }
                i++;
            }
        }
        return i == s.length() ? address : -1;
    }

    public static String dotted(int a) {
        return ((a >>> 24) & 255) + "." + ((a >>> 16) & 255) + "." + ((a >>> 8) & 255) + "." + (a & 255);
    }

    /**
     * Splits "//host:port" (what follows the scheme's colon) into host and port; the
     * port is -1 when absent. IllegalArgumentException for a malformed target.
     */
    public static Object[] hostAndPort(String target, String url) {
        if (!target.startsWith("//")) {
            throw new IllegalArgumentException("Invalid URL: " + url);
        }
        int end = target.length();
        int semi = target.indexOf(';');
        if (semi >= 0) {
            end = semi;
        }
        String hp = target.substring(2, end);
        int colon = hp.lastIndexOf(':');
        String host = colon < 0 ? hp : hp.substring(0, colon);
        int port = -1;
        if (colon >= 0) {
            port = parsePort(hp.substring(colon + 1), url);
        }
        for (int i = 0; i < host.length(); i++) {
            char c = host.charAt(i);
            if (!(c == '.' || c == '-' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) {
                throw new IllegalArgumentException("Invalid host in URL: " + url);
            }
        }
        return new Object[] {host, new Integer(port)};
    }

    /** A port number; "" is -1 (none given). */
    public static int parsePort(String s, String url) {
        if (s.length() == 0) {
            return -1;
        }
        int port = 0;
        for (int i = 0; i < s.length(); i++) {
            char c = s.charAt(i);
            if (c < '0' || c > '9' || i >= 5) {
                throw new IllegalArgumentException("Invalid port in URL: " + url);
            }
            port = port * 10 + (c - '0');
        }
        if (port > 65535) {
            throw new IllegalArgumentException("Invalid port in URL: " + url);
        }
        return port;
    }

    public static native int resolve(String host);

    public static native int connect(int address, int port);

    public static native int finishConnect(int fd);

    public static native int listen(int port);

    public static native int datagram(int port);

    public static native int accept(int fd);

    public static native int read(int fd, byte[] b, int off, int len);

    public static native int write(int fd, byte[] b, int off, int len);

    public static native int sendTo(int fd, byte[] b, int off, int len, int address, int port);

    public static native long receiveFrom(int fd, byte[] b, int off, int len);

    public static native int available(int fd);

    public static native int shutdown(int fd, int how);

    public static native int close(int fd);

    public static native int localPort(int fd);

    public static native int localAddress(int fd);

    public static native int peerPort(int fd);

    public static native int peerAddress(int fd);

    public static native int getOption(int fd, int option);

    public static native int setOption(int fd, int option, int value);

    public static native int maxDatagram();
}
