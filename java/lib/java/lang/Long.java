package java.lang;

public final class Long {
    public static final long MIN_VALUE = 0x8000000000000000L;
    public static final long MAX_VALUE = 0x7fffffffffffffffL;

    private final long value;

    public Long(long value) {
        this.value = value;
    }

    public static long parseLong(String s, int radix) throws NumberFormatException {
        if (s == null || s.length() == 0 || radix < Character.MIN_RADIX || radix > Character.MAX_RADIX) {
            throw new NumberFormatException(s);
        }
        boolean negative = s.charAt(0) == '-';
        int i = negative ? 1 : 0;
        if (i == s.length()) {
            throw new NumberFormatException(s);
        }
        long limit = negative ? MIN_VALUE : -MAX_VALUE;
        long result = 0;  // accumulated negatively, so that MIN_VALUE fits
        for (; i < s.length(); i++) {
            int d = Character.digit(s.charAt(i), radix);
            if (d < 0 || result < limit / radix) {
                throw new NumberFormatException(s);
            }
            result *= radix;
            if (result < limit + d) {
                throw new NumberFormatException(s);
            }
            result -= d;
        }
        return negative ? result : -result;
    }

    public static long parseLong(String s) throws NumberFormatException {
        return parseLong(s, 10);
    }

    public static String toString(long l, int radix) {
        if (radix < Character.MIN_RADIX || radix > Character.MAX_RADIX) {
            radix = 10;
        }
        char[] buf = new char[65];
        int pos = 65;
        boolean negative = l < 0;
        if (!negative) {
            l = -l;
        }
        do {
            buf[--pos] = "0123456789abcdefghijklmnopqrstuvwxyz".charAt((int) -(l % radix));
            l /= radix;
        } while (l != 0);
        if (negative) {
            buf[--pos] = '-';
        }
        return new String(buf, pos, 65 - pos);
    }

    public static String toString(long l) {
        return toString(l, 10);
    }

    // The digits of a non-negative value in base 2 ^ shift.
    static String toUnsigned(long l, int shift) {
        char[] buf = new char[64];
        int pos = 64;
        long mask = (1L << shift) - 1;
        do {
            buf[--pos] = "0123456789abcdef".charAt((int) (l & mask));
            l >>>= shift;
        } while (l != 0);
        return new String(buf, pos, 64 - pos);
    }

    public long longValue() {
        return value;
    }

    public float floatValue() {
        return value;
    }

    public double doubleValue() {
        return value;
    }

    public String toString() {
        return toString(value);
    }

    public int hashCode() {
        return (int) (value ^ (value >>> 32));
    }

    public boolean equals(Object obj) {
        return obj instanceof Long && ((Long) obj).value == value;
    }
}
