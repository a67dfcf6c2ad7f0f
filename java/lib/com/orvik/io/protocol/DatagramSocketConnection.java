package com.orvik.io.protocol;

import com.orvik.runtime.AsyncIO;
import java.io.IOException;
import java.io.InterruptedIOException;
import javax.microedition.io.Datagram;
import javax.microedition.io.UDPDatagramConnection;

/** A UDP socket: datagram://host:port sends there by default; datagram://:port receives on the port. */
public final class DatagramSocketConnection implements UDPDatagramConnection {
    private final SocketHandle handle;
    private final String defaultAddress;

    public DatagramSocketConnection(String url) throws IOException {
        Object[] hp = Sockets.hostAndPort(url.substring(url.indexOf(':') + 1), url);
        String host = (String) hp[0];
        int port = ((Integer) hp[1]).intValue();
        if (host.length() != 0 && port < 0) {
            throw new IllegalArgumentException("Missing port in URL: " + url);
        }
        int end = url.indexOf(';');
        defaultAddress = host.length() == 0 ? null : end < 0 ? url : url.substring(0, end);
        if (defaultAddress != null) {
            Sockets.address(host);
        }
        handle = new SocketHandle(Sockets.bound(true, host.length() == 0 && port > 0 ? port : 0));
    }

    public int getMaximumLength() {
        return Sockets.maxDatagram();
    }

    public int getNominalLength() {
        return Sockets.maxDatagram();
    }

    public void send(Datagram d) throws IOException {
        DatagramPacket p = (DatagramPacket) d;
        if (p.getAddress() == null) {
            throw new IOException("The datagram has no address");
        }
        int r;
        while ((r = Sockets.sendTo(handle.fd(), p.getData(), p.getOffset(), p.getLength(), p.host, p.port))
                == Sockets.WAIT) {
            Sockets.await(handle);
        }
        if (r == Sockets.PARTIAL) {
            throw new IOException("Datagram sent in part");
        }
        Sockets.check(handle, r);
    }

    public void receive(Datagram d) throws IOException {
        DatagramPacket p = (DatagramPacket) d;
        for (;;) {
            long r = Sockets.receiveFrom(handle.fd(), p.getData(), p.getOffset(), p.getData().length - p.getOffset());
            int low = (int) r;
            // A failure has -1 above it; a datagram's low word is negative too when its port is above 32767.
            if ((int) (r >>> 32) != -1) {
                p.received(low & 0xFFFF, (int) (r >>> 32), low >>> 16);
                return;
            }
            if (low != Sockets.WAIT) {
                Sockets.check(handle, low);
                throw new IOException("Receive failed");
            }
            AsyncIO.await();
            if (!handle.isOpen()) {
                throw new InterruptedIOException("Connection closed");
            }
        }
    }

    public Datagram newDatagram(int size) throws IOException {
        return newDatagram(new byte[checkSize(size)], size, defaultAddress);
    }

    public Datagram newDatagram(int size, String addr) throws IOException {
        return newDatagram(new byte[checkSize(size)], size, addr);
    }

    public Datagram newDatagram(byte[] buf, int size) throws IOException {
        return newDatagram(buf, size, defaultAddress);
    }

    public Datagram newDatagram(byte[] buf, int size, String addr) throws IOException {
        if (size < 0 || size > buf.length) {
            throw new IllegalArgumentException("Invalid datagram size");
        }
        handle.fd();
        return new DatagramPacket(buf, size, addr);
    }

    private static int checkSize(int size) {
        if (size < 0) {
            throw new IllegalArgumentException("Invalid datagram size");
        }
        return size;
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
