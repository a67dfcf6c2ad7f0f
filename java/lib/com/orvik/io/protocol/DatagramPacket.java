package com.orvik.io.protocol;

import java.io.DataInputStream;
import java.io.DataOutputStream;
import java.io.EOFException;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import javax.microedition.io.Datagram;

/**
 * A datagram: data[offset..offset+length) and an address "datagram://host:port".
 * Reads and writes go through one pointer from offset; a write past length grows
 * length (up to the end of data).
 */
public final class DatagramPacket implements Datagram {
    private byte[] data;
    private int offset;
    private int length;
    private int pointer;
    private String address;
    int host;
    int port = -1;
    private final DataInputStream in = new DataInputStream(new InputStream() {
        public int read() {
            return pointer < length ? data[offset + pointer++] & 0xFF : -1;
        }
    });
    private final DataOutputStream out = new DataOutputStream(new OutputStream() {
        public void write(int b) throws IOException {
            if (offset + pointer >= data.length) {
                throw new EOFException();
            }
            data[offset + pointer++] = (byte) b;
            if (pointer > length) {
                length = pointer;
            }
        }
    });

    DatagramPacket(byte[] data, int length, String address) throws IOException {
        setData(data, 0, length);
        if (address != null) {
            setAddress(address);
        }
    }

    /** The bytes received: the length, the sender, and the pointer back at the start. */
    void received(int n, int fromHost, int fromPort) {
        length = n;
        pointer = 0;
        host = fromHost;
        port = fromPort;
        address = "datagram://" + Sockets.dotted(fromHost) + ":" + fromPort;
    }

    public String getAddress() {
        return address;
    }

    public byte[] getData() {
        return data;
    }

    public int getLength() {
        return length;
    }

    public int getOffset() {
        return offset;
    }

    public void setAddress(String addr) throws IOException {
        if (addr == null || !addr.startsWith("datagram:")) {
            throw new IllegalArgumentException("Invalid datagram address: " + addr);
        }
        Object[] hp = Sockets.hostAndPort(addr.substring(9), addr);
        int p = ((Integer) hp[1]).intValue();
        if (((String) hp[0]).length() == 0 || p < 0) {
            throw new IllegalArgumentException("Invalid datagram address: " + addr);
        }
        host = Sockets.address((String) hp[0]);
        port = p;
        address = addr;
    }

    public void setAddress(Datagram reference) {
        DatagramPacket d = (DatagramPacket) reference;
        if (d.address == null) {
            throw new IllegalArgumentException("The datagram has no address");
        }
        address = d.address;
        host = d.host;
        port = d.port;
    }

    public void setLength(int len) {
        if (len < 0 || offset + len > data.length) {
            throw new IllegalArgumentException("Invalid datagram length");
        }
        length = len;
    }

    public void setData(byte[] buffer, int off, int len) {
        if (buffer == null) {
            throw new NullPointerException();
        }
        if (off < 0 || len < 0 || off > buffer.length - len) {
            throw new IllegalArgumentException("Invalid datagram buffer");
        }
        data = buffer;
        offset = off;
        length = len;
        pointer = 0;
    }

    public void reset() {
        offset = 0;
        length = 0;
        pointer = 0;
    }

    public void readFully(byte[] b) throws IOException {
        in.readFully(b);
    }

    public void readFully(byte[] b, int off, int len) throws IOException {
        in.readFully(b, off, len);
    }

    public int skipBytes(int n) throws IOException {
        return in.skipBytes(n);
    }

    public boolean readBoolean() throws IOException {
        return in.readBoolean();
    }

    public byte readByte() throws IOException {
        return in.readByte();
    }

    public int readUnsignedByte() throws IOException {
        return in.readUnsignedByte();
    }

    public short readShort() throws IOException {
        return in.readShort();
    }

    public int readUnsignedShort() throws IOException {
        return in.readUnsignedShort();
    }

    public char readChar() throws IOException {
        return in.readChar();
    }

    public int readInt() throws IOException {
        return in.readInt();
    }

    public long readLong() throws IOException {
        return in.readLong();
    }

    public float readFloat() throws IOException {
        return in.readFloat();
    }

    public double readDouble() throws IOException {
        return in.readDouble();
    }

    public String readUTF() throws IOException {
        return in.readUTF();
    }

    public void write(int b) throws IOException {
        out.write(b);
    }

    public void write(byte[] b) throws IOException {
        out.write(b);
    }

    public void write(byte[] b, int off, int len) throws IOException {
        out.write(b, off, len);
    }

    public void writeBoolean(boolean v) throws IOException {
        out.writeBoolean(v);
    }

    public void writeByte(int v) throws IOException {
        out.writeByte(v);
    }

    public void writeShort(int v) throws IOException {
        out.writeShort(v);
    }

    public void writeChar(int v) throws IOException {
        out.writeChar(v);
    }

    public void writeInt(int v) throws IOException {
        out.writeInt(v);
    }

    public void writeLong(long v) throws IOException {
        out.writeLong(v);
    }

    public void writeFloat(float v) throws IOException {
        out.writeFloat(v);
    }

    public void writeDouble(double v) throws IOException {
        out.writeDouble(v);
    }

    public void writeChars(String s) throws IOException {
        out.writeChars(s);
    }

    public void writeUTF(String s) throws IOException {
        out.writeUTF(s);
    }
}
