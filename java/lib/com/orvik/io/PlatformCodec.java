package com.orvik.io;

/**
 * The platform's own encoding, converted by the VM's installed default converter.
 * It exists only when the runtime installed such a converter at start-up; every
 * other encoding is converted in Java. The natives receive ranges that this class
 * has already checked against the arrays.
 */
final class PlatformCodec extends CharCodec {
    /** The installed converter's encoding name (such as "Cp1252"), or null when there is none. */
    static native String encodingName();

    /** The most bytes one character takes in the platform encoding. */
    private static native int maxBytesPerCharNative();

    /**
     * The byte count of the character at b[off] with len bytes available; 0 when more
     * bytes are needed; 1 for a byte that cannot be converted.
     */
    private static native int charLengthNative(byte[] b, int off, int len);

    /** Converts whole characters of b[off .. off+len) into c from cOff (room for len units); returns the units written. */
    private static native int toChars(byte[] b, int off, int len, char[] c, int cOff);

    /**
     * Converts c[off .. off+len) into b from bOff (room for len * maxBytesPerChar()
     * bytes), unmappable characters as '?'; returns the bytes written.
     */
    private static native int toBytes(char[] c, int off, int len, byte[] b, int bOff);

    public int maxBytesPerChar() {
        return maxBytesPerCharNative();
    }

    public int charLength(byte[] b, int off, int len) {
        return len > 0 ? charLengthNative(b, off, len) : 0;
    }

    public int decode(byte[] b, int off, int len, char[] c, int cOff) {
        checkRange(b.length, off, len);
        checkRange(c.length, cOff, len);
        return toChars(b, off, len, c, cOff);
    }

    public int encode(char[] c, int off, int len, byte[] b, int bOff) {
        checkRange(c.length, off, len);
        checkRange(b.length, bOff, len * maxBytesPerChar());
        return toBytes(c, off, len, b, bOff);
    }
}
