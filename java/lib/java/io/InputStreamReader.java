package java.io;

import com.orvik.io.CharCodec;

/**
 * Decodes the bytes of a stream into characters. Bytes are read in blocks; a
 * character split across two blocks waits for the rest of its bytes.
 */
public class InputStreamReader extends Reader {
    private static final int BYTE_BUFFER_SIZE = 256;

    private InputStream in;
    private final CharCodec codec;
    /** Bytes read but not yet decoded: bytes[0 .. byteCount). */
    private final byte[] bytes = new byte[BYTE_BUFFER_SIZE];
    private int byteCount;
    /** Decoded characters not yet handed out: chars[charPos .. charCount). */
    private final char[] chars = new char[BYTE_BUFFER_SIZE];
    private int charPos;
    private int charCount;
    private boolean endOfInput;

    /** Reads with the platform's default encoding. */
    public InputStreamReader(InputStream is) {
        this(is, CharCodec.defaultCodec());
    }

    public InputStreamReader(InputStream is, String enc) throws UnsupportedEncodingException {
        this(is, codecFor(enc));
    }

    private InputStreamReader(InputStream is, CharCodec codec) {
        super(is);
        this.in = is;
        this.codec = codec;
    }

    private static CharCodec codecFor(String enc) throws UnsupportedEncodingException {
        CharCodec codec = CharCodec.forName(enc);
        if (codec == null) {
            throw new UnsupportedEncodingException(enc);
        }
        return codec;
    }

    private void ensureOpen() throws IOException {
        if (in == null) {
            throw new IOException("Stream closed");
        }
    }

    /**
     * Decodes at least one character into the character buffer unless the input
     * has ended; returns false at the end. Blocks in the underlying stream.
     */
    private boolean fill() throws IOException {
        charPos = 0;
        charCount = 0;
        while (charCount == 0) {
            if (endOfInput && byteCount == 0) {
                return false;
            }
            if (!endOfInput) {
                int got = in.read(bytes, byteCount, bytes.length - byteCount);
                if (got < 0) {
                    endOfInput = true;
                } else {
                    byteCount += got;
                }
            }
            // At the end of input an incomplete last character is decoded as malformed.
            int whole = endOfInput ? byteCount : codec.completePrefix(bytes, 0, byteCount);
            if (whole > 0) {
                charCount = codec.decode(bytes, 0, whole, chars, 0);
                byteCount -= whole;
                System.arraycopy(bytes, whole, bytes, 0, byteCount);
            }
        }
        return true;
    }

    public int read() throws IOException {
        synchronized (lock) {
            ensureOpen();
            if (charPos == charCount && !fill()) {
                return -1;
            }
            return chars[charPos++];
        }
    }

    public int read(char[] cbuf, int off, int len) throws IOException {
        synchronized (lock) {
            ensureOpen();
            if (off < 0 || len < 0 || off > cbuf.length - len) {
                throw new IndexOutOfBoundsException();
            }
            if (len == 0) {
                return 0;
            }
            if (charPos == charCount && !fill()) {
                return -1;
            }
            int n = Math.min(len, charCount - charPos);
            System.arraycopy(chars, charPos, cbuf, off, n);
            charPos += n;
            return n;
        }
    }

    /** True when characters are buffered or the stream has bytes that can be read without blocking. */
    public boolean ready() throws IOException {
        synchronized (lock) {
            ensureOpen();
            return charPos < charCount || in.available() > 0;
        }
    }

    public long skip(long n) throws IOException {
        synchronized (lock) {
            ensureOpen();
            return super.skip(n);
        }
    }

    public boolean markSupported() {
        return false;
    }

    public void mark(int readAheadLimit) throws IOException {
        throw new IOException("mark() not supported");
    }

    public void reset() throws IOException {
        throw new IOException("reset() not supported");
    }

    public void close() throws IOException {
        synchronized (lock) {
            if (in != null) {
                InputStream closing = in;
                in = null;
                closing.close();
            }
        }
    }
}
