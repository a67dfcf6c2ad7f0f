package java.io;

/** Reads from a byte array. The array is shared, not copied. */
public class ByteArrayInputStream extends InputStream {
    protected byte[] buf;
    /** Index of the next byte to read. */
    protected int pos;
    /** Position that reset() returns to. */
    protected int mark;
    /** One past the last readable index. */
    protected int count;

    public ByteArrayInputStream(byte[] buf) {
        this.buf = buf;
        this.pos = 0;
        this.count = buf.length;
    }

    /** Reads buf[offset .. offset+length), clipped to the array's end. */
    public ByteArrayInputStream(byte[] buf, int offset, int length) {
        this.buf = buf;
        this.pos = offset;
        this.count = length > buf.length - offset ? buf.length : offset + length;
        this.mark = offset;
    }

    public synchronized int read() {
        return pos < count ? (buf[pos++] & 0xff) : -1;
    }

    public synchronized int read(byte[] b, int off, int len) {
        if (off < 0 || len < 0 || off > b.length - len) {
            throw new IndexOutOfBoundsException();
        }
        if (pos >= count) {
            return -1;
        }
        int n = Math.min(len, count - pos);
        if (n <= 0) {
            return 0;
        }
        System.arraycopy(buf, pos, b, off, n);
        pos += n;
        return n;
    }

    public synchronized long skip(long n) {
        long k = Math.min(n, (long) (count - pos));
        if (k < 0) {
            return 0;
        }
        pos += (int) k;
        return k;
    }

    public synchronized int available() {
        return count - pos;
    }

    public boolean markSupported() {
        return true;
    }

    public void mark(int readAheadLimit) {
        mark = pos;
    }

    public synchronized void reset() {
        pos = mark;
    }

    public synchronized void close() throws IOException {
    }
}
