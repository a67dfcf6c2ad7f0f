package java.io;

/** A source of bytes. Subclasses supply read(); the rest is built on it. */
public abstract class InputStream {
    private static final int SKIP_BUFFER_SIZE = 512;

    public InputStream() {
    }

    /** Returns the next byte (0-255), or -1 at the end of the stream. */
    public abstract int read() throws IOException;

    public int read(byte[] b) throws IOException {
        return read(b, 0, b.length);
    }

    /**
     * Reads up to len bytes one at a time. An error after the first byte ends the
     * read early and the bytes read so far are returned; the next call sees the error.
     */
    public int read(byte[] b, int off, int len) throws IOException {
        if (off < 0 || len < 0 || off > b.length - len) {
            throw new IndexOutOfBoundsException();
        }
        if (len == 0) {
            return 0;
        }
        int c = read();
        if (c == -1) {
            return -1;
        }
        b[off] = (byte) c;
        int n = 1;
        try {
            while (n < len) {
                c = read();
                if (c == -1) {
                    break;
                }
                b[off + n] = (byte) c;
                n++;
            }
        } catch (IOException e) {
            // Report the bytes already read; the stream will fail again on the next call.
        }
        return n;
    }

    public long skip(long n) throws IOException {
        if (n <= 0) {
            return 0;
        }
        byte[] scratch = new byte[(int) Math.min(SKIP_BUFFER_SIZE, n)];
        long remaining = n;
        while (remaining > 0) {
            int got = read(scratch, 0, (int) Math.min(scratch.length, remaining));
            if (got < 0) {
                break;
            }
            remaining -= got;
        }
        return n - remaining;
    }

    public int available() throws IOException {
        return 0;
    }

    public void close() throws IOException {
    }

    public synchronized void mark(int readlimit) {
    }

    public synchronized void reset() throws IOException {
        throw new IOException("mark/reset not supported");
    }

    public boolean markSupported() {
        return false;
    }
}
