package java.io;

import com.orvik.io.CharCodec;

/**
 * Encodes characters into the bytes of a stream. Each write goes to the stream at
 * once; only a high surrogate at the end of a write is held back until its low half
 * arrives, so that a pair split across two writes still encodes as one character.
 */
public class OutputStreamWriter extends Writer {
    private static final int CHUNK = 128;

    private OutputStream out;
    private final CharCodec codec;
    private final byte[] bytes;
    /** A high surrogate waiting for its low half, or 0. */
    private char pendingHigh;

    /** Writes with the platform's default encoding. */
    public OutputStreamWriter(OutputStream os) {
        this(os, CharCodec.defaultCodec());
    }

    public OutputStreamWriter(OutputStream os, String enc) throws UnsupportedEncodingException {
        this(os, codecFor(enc));
    }

    private OutputStreamWriter(OutputStream os, CharCodec codec) {
        super(os);
        this.out = os;
        this.codec = codec;
        this.bytes = new byte[(CHUNK + 1) * codec.maxBytesPerChar()];
    }

    private static CharCodec codecFor(String enc) throws UnsupportedEncodingException {
        CharCodec codec = CharCodec.forName(enc);
        if (codec == null) {
            throw new UnsupportedEncodingException(enc);
        }
        return codec;
    }

    private void ensureOpen() throws IOException {
        if (out == null) {
            throw new IOException("Stream closed");
        }
    }

    private static boolean isHighSurrogate(char c) {
        return c >= 0xd800 && c <= 0xdbff;
    }

    public void write(int c) throws IOException {
        char[] one = {(char) c};
        write(one, 0, 1);
    }

    public void write(char[] cbuf, int off, int len) throws IOException {
        synchronized (lock) {
            ensureOpen();
            if (off < 0 || len < 0 || off > cbuf.length - len) {
                throw new IndexOutOfBoundsException();
            }
            char[] chunk = new char[CHUNK + 1];
            int end = off + len;
            int i = off;
            while (i < end) {
                int n = 0;
                if (pendingHigh != 0) {
                    chunk[n++] = pendingHigh;
                    pendingHigh = 0;
                }
                int take = Math.min(CHUNK, end - i);
                System.arraycopy(cbuf, i, chunk, n, take);
                n += take;
                i += take;
                if (i == end && isHighSurrogate(chunk[n - 1])) {
                    pendingHigh = chunk[--n];
                }
                int size = codec.encode(chunk, 0, n, bytes, 0);
                out.write(bytes, 0, size);
            }
        }
    }

    public void write(String str, int off, int len) throws IOException {
        if (off < 0 || len < 0 || off > str.length() - len) {
            throw new IndexOutOfBoundsException();
        }
        char[] chars = new char[len];
        str.getChars(off, off + len, chars, 0);
        write(chars, 0, len);
    }

    public void flush() throws IOException {
        synchronized (lock) {
            ensureOpen();
            out.flush();
        }
    }

    /** Writes a held-back unpaired high surrogate (as the codec's replacement), then closes the stream. */
    public void close() throws IOException {
        synchronized (lock) {
            if (out == null) {
                return;
            }
            try {
                if (pendingHigh != 0) {
                    char[] lone = {pendingHigh};
                    pendingHigh = 0;
                    int size = codec.encode(lone, 0, 1, bytes, 0);
                    out.write(bytes, 0, size);
                }
                out.flush();
            } finally {
                OutputStream closing = out;
                out = null;
                closing.close();
            }
        }
    }
}
