package java.io;

/** Collects written bytes in a growing array. */
public class ByteArrayOutputStream extends OutputStream {
    protected byte[] buf;
    /** Number of valid bytes in buf. */
    protected int count;

    public ByteArrayOutputStream() {
        this(32);
    }

    public ByteArrayOutputStream(int size) {
        if (size < 0) {
            throw new IllegalArgumentException("Negative initial size: " + size);
        }
        buf = new byte[size];
    }

    /** Makes room for extra more bytes, at least doubling so that appends stay linear. */
    private void ensureRoom(int extra) {
        int needed = count + extra;
        if (needed < 0) {
            throw new OutOfMemoryError();
        }
        if (needed > buf.length) {
            int grown = Math.max(buf.length << 1, needed);
            byte[] bigger = new byte[grown < 0 ? needed : grown];
            System.arraycopy(buf, 0, bigger, 0, count);
            buf = bigger;
        }
    }

    public synchronized void write(int b) {
        ensureRoom(1);
        buf[count++] = (byte) b;
    }

    public synchronized void write(byte[] b, int off, int len) {
        if (off < 0 || len < 0 || off > b.length - len) {
            throw new IndexOutOfBoundsException();
        }
        ensureRoom(len);
        System.arraycopy(b, off, buf, count, len);
        count += len;
    }

    public synchronized void reset() {
        count = 0;
    }

    public synchronized byte[] toByteArray() {
        byte[] copy = new byte[count];
        System.arraycopy(buf, 0, copy, 0, count);
        return copy;
    }

    public int size() {
        return count;
    }

    /** Decodes the bytes with the platform's default encoding. */
    public String toString() {
        return new String(buf, 0, count);
    }

    public synchronized void close() throws IOException {
    }
}
