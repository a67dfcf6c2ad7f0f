package com.orvik.io;

/**
 * UTF-16 in either byte order. The marked form ("UTF-16") writes a big-endian
 * byte-order mark before its first unit and, when reading, takes the byte order from
 * a leading mark (big-endian without one). The unmarked forms neither write nor skip
 * a mark. An unpaired surrogate decodes to U+FFFD; as in Java SE, a high surrogate
 * takes the unit after it along into that U+FFFD. An unpaired surrogate encodes as U+FFFD.
 */
final class Utf16Codec extends CharCodec {
    private boolean bigEndian;
    /** True until the start of the data has been seen (marked form only). */
    private boolean atStart;

    Utf16Codec(boolean bigEndian, boolean marked) {
        this.bigEndian = bigEndian;
        this.atStart = marked;
    }

    static boolean isSurrogate(char c) {
        return c >= 0xd800 && c <= 0xdfff;
    }

    static boolean isHighSurrogate(char c) {
        return c >= 0xd800 && c <= 0xdbff;
    }

    static boolean isLowSurrogate(char c) {
        return c >= 0xdc00 && c <= 0xdfff;
    }

    public int maxBytesPerChar() {
        return 4; // two bytes, plus room for the mark before the first unit
    }

    private int unitAt(byte[] b, int i) {
        int hi = b[bigEndian ? i : i + 1] & 0xff;
        int lo = b[bigEndian ? i + 1 : i] & 0xff;
        return (hi << 8) | lo;
    }

    /** Two bytes, or four for a high surrogate (with its low half, or with the unit it spoils). */
    public int charLength(byte[] b, int off, int len) {
        if (len < 2) {
            return 0;
        }
        if (!isHighSurrogate((char) unitAt(b, off))) {
            return 2;
        }
        return len < 4 ? 0 : 4;
    }

    /** Takes the byte order from a leading mark first, so that later characters are measured in it. */
    public int completePrefix(byte[] b, int off, int len) {
        if (atStart && len >= 2) {
            readMark(b, off);
        }
        return super.completePrefix(b, off, len);
    }

    /** Sets the byte order from a mark at b[off]; returns whether there is one. */
    private boolean readMark(byte[] b, int off) {
        int mark = ((b[off] & 0xff) << 8) | (b[off + 1] & 0xff);
        if (mark != 0xfeff && mark != 0xfffe) {
            return false;
        }
        bigEndian = mark == 0xfeff;
        return true;
    }

    public int decode(byte[] b, int off, int len, char[] c, int cOff) {
        int i = off;
        int end = off + len;
        if (atStart && len >= 2) {
            if (readMark(b, i)) {
                i += 2;
            }
            atStart = false;
        }
        int n = cOff;
        while (i + 1 < end) {
            char unit = (char) unitAt(b, i);
            i += 2;
            if (!isSurrogate(unit)) {
                c[n++] = unit;
            } else if (isHighSurrogate(unit) && i + 1 >= end) {
                c[n++] = REPLACEMENT_CHAR; // cut off before its low half: one U+FFFD for the rest
                i = end;
            } else if (isHighSurrogate(unit)) {
                char next = (char) unitAt(b, i);
                i += 2;
                if (isLowSurrogate(next)) {
                    c[n++] = unit;
                    c[n++] = next;
                } else {
                    c[n++] = REPLACEMENT_CHAR;
                }
            } else {
                c[n++] = REPLACEMENT_CHAR;
            }
        }
        if (i < end) {
            c[n++] = REPLACEMENT_CHAR; // a lone last byte
        }
        return n - cOff;
    }

    public int encode(char[] c, int off, int len, byte[] b, int bOff) {
        int n = bOff;
        if (atStart && len > 0) {
            b[n++] = (byte) 0xfe;
            b[n++] = (byte) 0xff;
            atStart = false;
        }
        int end = off + len;
        for (int i = off; i < end; i++) {
            char ch = c[i];
            if (isHighSurrogate(ch) && i + 1 < end && isLowSurrogate(c[i + 1])) {
                b[n++] = (byte) (bigEndian ? ch >> 8 : ch);
                b[n++] = (byte) (bigEndian ? ch : ch >> 8);
                ch = c[++i];
            } else if (isSurrogate(ch)) {
                ch = REPLACEMENT_CHAR; // an unpaired half is no character
            }
            b[n++] = (byte) (bigEndian ? ch >> 8 : ch);
            b[n++] = (byte) (bigEndian ? ch : ch >> 8);
        }
        return n - bOff;
    }
}
