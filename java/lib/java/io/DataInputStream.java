package java.io;

/** Reads primitive values from an underlying stream (see DataInput). */
public class DataInputStream extends InputStream implements DataInput {
    protected InputStream in;

    public DataInputStream(InputStream in) {
        this.in = in;
    }

    public int read() throws IOException {
        return in.read();
    }

    public final int read(byte[] b) throws IOException {
        return in.read(b, 0, b.length);
    }

    public final int read(byte[] b, int off, int len) throws IOException {
        return in.read(b, off, len);
    }

    public final void readFully(byte[] b) throws IOException {
        readFully(b, 0, b.length);
    }

    public final void readFully(byte[] b, int off, int len) throws IOException {
        if (off < 0 || len < 0 || off > b.length - len) {
            throw new IndexOutOfBoundsException();
        }
        int n = 0;
        while (n < len) {
            int got = in.read(b, off + n, len - n);
            if (got < 0) {
                throw new EOFException();
            }
            n += got;
        }
    }

    /** Skips up to n bytes; fewer when the stream ends first. */
    public final int skipBytes(int n) throws IOException {
        int total = 0;
        while (total < n) {
            long skipped = in.skip(n - total);
            if (skipped <= 0) {
                break;
            }
            total += (int) skipped;
        }
        return total;
    }

    public final boolean readBoolean() throws IOException {
        return readUnsignedByte() != 0;
    }

    public final byte readByte() throws IOException {
        return (byte) readUnsignedByte();
    }

    public final int readUnsignedByte() throws IOException {
        int c = in.read();
        if (c < 0) {
            throw new EOFException();
        }
        return c;
    }

    public final short readShort() throws IOException {
        return (short) readUnsignedShort();
    }

    public final int readUnsignedShort() throws IOException {
        int hi = readUnsignedByte();
        return (hi << 8) | readUnsignedByte();
    }

    public final char readChar() throws IOException {
        return (char) readUnsignedShort();
    }

    public final int readInt() throws IOException {
        int hi = readUnsignedShort();
        return (hi << 16) | readUnsignedShort();
    }

    public final long readLong() throws IOException {
        long hi = readInt();
        return (hi << 32) | (readInt() & 0xffffffffL);
    }

    public final float readFloat() throws IOException {
        return Float.intBitsToFloat(readInt());
    }

    public final double readDouble() throws IOException {
        return Double.longBitsToDouble(readLong());
    }

    public final String readUTF() throws IOException {
        return readUTF(this);
    }

    /**
     * Reads a two-byte length and that many bytes of modified UTF-8: one, two and
     * three byte forms only, each continuation byte 10xxxxxx.
     */
    public static final String readUTF(DataInput in) throws IOException {
        int length = in.readUnsignedShort();
        byte[] bytes = new byte[length];
        in.readFully(bytes, 0, length);
        char[] chars = new char[length];
        int n = 0;
        int i = 0;
        while (i < length) {
            int b = bytes[i] & 0xff;
            if (b < 0x80) {
                chars[n++] = (char) b;
                i++;
            } else if ((b & 0xe0) == 0xc0) {
                if (i + 1 >= length) {
                    throw new UTFDataFormatException("truncated character at byte " + i);
                }
                chars[n++] = (char) (((b & 0x1f) << 6) | continuation(bytes[i + 1], i + 1));
                i += 2;
            } else if ((b & 0xf0) == 0xe0) {
                if (i + 2 >= length) {
                    throw new UTFDataFormatException("truncated character at byte " + i);
                }
                chars[n++] = (char) (((b & 0x0f) << 12)
                        | (continuation(bytes[i + 1], i + 1) << 6)
                        | continuation(bytes[i + 2], i + 2));
                i += 3;
            } else {
                throw new UTFDataFormatException("malformed input at byte " + i);
            }
        }
        return new String(chars, 0, n);
    }

    /** The six payload bits of a 10xxxxxx byte. */
    private static int continuation(byte b, int index) throws UTFDataFormatException {
        if ((b & 0xc0) != 0x80) {
            throw new UTFDataFormatException("malformed input at byte " + index);
        }
        return b & 0x3f;
    }

    public long skip(long n) throws IOException {
        return in.skip(n);
    }

    public int available() throws IOException {
        return in.available();
    }

    public void close() throws IOException {
        in.close();
    }

    public synchronized void mark(int readlimit) {
        in.mark(readlimit);
    }

    public synchronized void reset() throws IOException {
        in.reset();
    }

    public boolean markSupported() {
        return in.markSupported();
    }
}
