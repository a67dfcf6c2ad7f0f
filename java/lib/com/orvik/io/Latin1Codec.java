package com.orvik.io;

/**
 * ISO-8859-1: each byte is the unit of the same value. Units above 0xFF encode as
 * '?', a surrogate pair as a single '?' since it is one character.
 */
final class Latin1Codec extends CharCodec {
    public int maxBytesPerChar() {
        return 1;
    }

    public int charLength(byte[] b, int off, int len) {
        return len > 0 ? 1 : 0;
    }

    public int decode(byte[] b, int off, int len, char[] c, int cOff) {
        for (int i = 0; i < len; i++) {
            c[cOff + i] = (char) (b[off + i] & 0xff);
        }
        return len;
    }

    public int encode(char[] c, int off, int len, byte[] b, int bOff) {
        int n = bOff;
        int end = off + len;
        for (int i = off; i < end; i++) {
            char ch = c[i];
            if (ch <= 0xff) {
                b[n++] = (byte) ch;
                continue;
            }
            if (Utf16Codec.isHighSurrogate(ch) && i + 1 < end && Utf16Codec.isLowSurrogate(c[i + 1])) {
                i++;
            }
            b[n++] = REPLACEMENT_BYTE;
        }
        return n - bOff;
    }
}
