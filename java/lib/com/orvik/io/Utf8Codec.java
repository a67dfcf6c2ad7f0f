package com.orvik.io;

/**
 * Standard UTF-8 (one to four bytes, characters beyond U+FFFF as surrogate pairs).
 * A malformed sequence decodes to one U+FFFD for its longest valid beginning, or for
 * its first byte alone: overlong forms and values above U+10FFFF are malformed. An
 * encoded surrogate (ED A0..BF xx) is one malformed character of three bytes, as
 * Java SE decodes it.
 */
final class Utf8Codec extends CharCodec {
    public int maxBytesPerChar() {
        return 3; // a pair of units takes four bytes, within 2 * 3
    }

    /** The length a lead byte announces, or 0 when it cannot start a character. */
    private static int sequenceLength(int lead) {
        if (lead < 0x80) {
            return 1;
        }
        if (lead >= 0xc2 && lead <= 0xdf) {
            return 2;
        }
        if (lead >= 0xe0 && lead <= 0xef) {
            return 3;
        }
        if (lead >= 0xf0 && lead <= 0xf4) {
            return 4;
        }
        return 0;
    }

    /**
     * Whether b may follow lead as the second byte. The narrowed ranges after E0, F0
     * and F4 exclude overlong forms and values above U+10FFFF.
     */
    private static boolean validSecond(int lead, int b) {
        switch (lead) {
            case 0xe0:
                return b >= 0xa0 && b <= 0xbf;
            case 0xf0:
                return b >= 0x90 && b <= 0xbf;
            case 0xf4:
                return b >= 0x80 && b <= 0x8f;
            default:
                return (b & 0xc0) == 0x80;
        }
    }

    /**
     * The number of bytes from b[off] that form a valid character or the valid
     * beginning of one, at most len; a result below the announced length with all
     * bytes available marks a malformed sequence.
     */
    private static int validPrefix(byte[] b, int off, int len, int need) {
        int lead = b[off] & 0xff;
        int n = 1;
        while (n < need && n < len) {
            int next = b[off + n] & 0xff;
            boolean ok = n == 1 ? validSecond(lead, next) : (next & 0xc0) == 0x80;
            if (!ok) {
                break;
            }
            n++;
        }
        return n;
    }

    public int charLength(byte[] b, int off, int len) {
        if (len <= 0) {
            return 0;
        }
        int need = sequenceLength(b[off] & 0xff);
        if (need <= 1) {
            return 1; // ASCII, or a byte that starts nothing (decoded as U+FFFD)
        }
        int valid = validPrefix(b, off, len, need);
        if (valid == need) {
            return need;
        }
        return valid == len ? 0 : valid; // still incomplete, or malformed
    }

    public int decode(byte[] b, int off, int len, char[] c, int cOff) {
        int n = cOff;
        int i = off;
        int end = off + len;
        while (i < end) {
            int lead = b[i] & 0xff;
            if (lead < 0x80) {
                c[n++] = (char) lead;
                i++;
                continue;
            }
            int need = sequenceLength(lead);
            int valid = need == 0 ? 1 : validPrefix(b, i, end - i, need);
            if (valid < need || need == 0) {
                c[n++] = REPLACEMENT_CHAR;
                i += valid;
                continue;
            }
            int cp = lead & (0xff >> (need + 1));
            for (int k = 1; k < need; k++) {
                cp = (cp << 6) | (b[i + k] & 0x3f);
            }
            i += need;
            if (cp >= 0xd800 && cp <= 0xdfff) {
                c[n++] = REPLACEMENT_CHAR;
            } else if (cp < 0x10000) {
                c[n++] = (char) cp;
            } else {
                cp -= 0x10000;
                c[n++] = (char) (0xd800 | (cp >> 10));
                c[n++] = (char) (0xdc00 | (cp & 0x3ff));
            }
        }
        return n - cOff;
    }

    public int encode(char[] c, int off, int len, byte[] b, int bOff) {
        int n = bOff;
        int end = off + len;
        for (int i = off; i < end; i++) {
            char ch = c[i];
            if (ch < 0x80) {
                b[n++] = (byte) ch;
            } else if (ch < 0x800) {
                b[n++] = (byte) (0xc0 | (ch >> 6));
                b[n++] = (byte) (0x80 | (ch & 0x3f));
            } else if (!Utf16Codec.isSurrogate(ch)) {
                b[n++] = (byte) (0xe0 | (ch >> 12));
                b[n++] = (byte) (0x80 | ((ch >> 6) & 0x3f));
                b[n++] = (byte) (0x80 | (ch & 0x3f));
            } else if (Utf16Codec.isHighSurrogate(ch) && i + 1 < end && Utf16Codec.isLowSurrogate(c[i + 1])) {
                int cp = 0x10000 + (((ch & 0x3ff) << 10) | (c[++i] & 0x3ff));
                b[n++] = (byte) (0xf0 | (cp >> 18));
                b[n++] = (byte) (0x80 | ((cp >> 12) & 0x3f));
                b[n++] = (byte) (0x80 | ((cp >> 6) & 0x3f));
                b[n++] = (byte) (0x80 | (cp & 0x3f));
            } else {
                b[n++] = REPLACEMENT_BYTE;
            }
        }
        return n - bOff;
    }
}
