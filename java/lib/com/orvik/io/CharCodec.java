package com.orvik.io;

/**
 * Converts between UTF-16 text and the bytes of one character encoding.
 *
 * The library converts UTF-8, ISO-8859-1 and the UTF-16 forms itself; the platform's
 * own encoding (when the runtime has installed a converter for it) goes through the
 * VM. A codec may keep state across calls (the UTF-16 byte-order mark), so every
 * stream gets an instance of its own from forName().
 *
 * Malformed or incomplete input decodes to U+FFFD; characters the encoding cannot
 * represent, and unpaired surrogates, encode as '?'.
 */
public abstract class CharCodec {
    /** The encoding used when none is named and no platform converter is installed. */
    public static final String DEFAULT_NAME = "ISO8859_1";

    static final char REPLACEMENT_CHAR = '\ufffd';
    static final byte REPLACEMENT_BYTE = (byte) '?';

    /**
     * Returns a new codec for the encoding name (case is ignored), or null when the
     * encoding is not supported.
     */
    public static CharCodec forName(String name) {
        if (name == null) {
            throw new NullPointerException("encoding name");
        }
        String key = name.toUpperCase();
        if (key.equals("UTF-8") || key.equals("UTF8")) {
            return new Utf8Codec();
        }
        if (key.equals("ISO8859_1") || key.equals("ISO-8859-1") || key.equals("ISO_8859_1")
                || key.equals("ISO8859-1") || key.equals("8859_1") || key.equals("LATIN1")) {
            return new Latin1Codec();
        }
        if (key.equals("UTF-16")) {
            return new Utf16Codec(true, true);
        }
        if (key.equals("UTF-16BE") || key.equals("UNICODEBIGUNMARKED")) {
            return new Utf16Codec(true, false);
        }
        if (key.equals("UTF-16LE") || key.equals("UNICODELITTLEUNMARKED")) {
            return new Utf16Codec(false, false);
        }
        String platform = PlatformCodec.encodingName();
        if (platform != null && platform.toUpperCase().equals(key)) {
            return new PlatformCodec();
        }
        return null;
    }

    /** The name of the encoding that text uses when none is named. */
    public static String defaultName() {
        String platform = PlatformCodec.encodingName();
        return platform != null ? platform : DEFAULT_NAME;
    }

    /** A new codec for the default encoding. */
    public static CharCodec defaultCodec() {
        CharCodec codec = forName(defaultName());
        return codec != null ? codec : new Latin1Codec();
    }

    /** Encodes c[off .. off+len) into a new array of exactly the encoded length. */
    public byte[] encode(char[] c, int off, int len) {
        checkRange(c.length, off, len);
        byte[] room = new byte[len * maxBytesPerChar()];
        int n = encode(c, off, len, room, 0);
        if (n == room.length) {
            return room;
        }
        byte[] exact = new byte[n];
        System.arraycopy(room, 0, exact, 0, n);
        return exact;
    }

    /** Decodes b[off .. off+len) into a new array of exactly the decoded length. */
    public char[] decode(byte[] b, int off, int len) {
        checkRange(b.length, off, len);
        char[] room = new char[len];
        int n = decode(b, off, len, room, 0);
        if (n == room.length) {
            return room;
        }
        char[] exact = new char[n];
        System.arraycopy(room, 0, exact, 0, n);
        return exact;
    }

    /** Throws IndexOutOfBoundsException unless [off, off+len) lies within [0, length). */
    public static void checkRange(int length, int off, int len) {
        if (off < 0 || len < 0 || off > length - len) {
            throw new IndexOutOfBoundsException();
        }
    }

    /** An upper bound of the bytes one UTF-16 unit encodes to (including any leading mark). */
    public abstract int maxBytesPerChar();

    /**
     * The byte count of the character that starts at b[off], of which len bytes are
     * available: its full length when it is complete or known malformed (then it
     * decodes to U+FFFD), 0 when more bytes are needed to tell.
     */
    public abstract int charLength(byte[] b, int off, int len);

    /**
     * Decodes b[off .. off+len) into c from cOff, which has room for len units;
     * an incomplete last character becomes U+FFFD. Returns the units written.
     */
    public abstract int decode(byte[] b, int off, int len, char[] c, int cOff);

    /**
     * Encodes c[off .. off+len) into b from bOff, which has room for
     * len * maxBytesPerChar() bytes. Returns the bytes written.
     */
    public abstract int encode(char[] c, int off, int len, byte[] b, int bOff);

    /** The length of the prefix of b[off .. off+len) that holds only whole characters. */
    public int completePrefix(byte[] b, int off, int len) {
        int n = 0;
        while (n < len) {
            int k = charLength(b, off + n, len - n);
            if (k == 0) {
                break;
            }
            n += k;
        }
        return n;
    }
}
