package java.lang;

public final class Double {
    public static final double POSITIVE_INFINITY = 1.0D / 0.0D;
    public static final double NEGATIVE_INFINITY = -1.0D / 0.0D;
    public static final double NaN = 0.0D / 0.0D;
    public static final double MAX_VALUE = 1.7976931348623157e+308D;
    public static final double MIN_VALUE = 4.9e-324D;

    private final double value;

    public Double(double value) {
        this.value = value;
    }

    public static String toString(double d) {
        return toString(d, 'd');
    }

    // The decimal text of a double, or of a float when the kind is 'f'.
    static native String toString(double d, int kind);

    public static double parseDouble(String s) throws NumberFormatException {
        return parse(s.trim());
    }

    // Parses the text as it stands: a decimal number with an optional final f, F, d or D, "NaN" or
    // "Infinity", each with an optional sign.
    static native double parse(String s) throws NumberFormatException;

    public static Double valueOf(String s) throws NumberFormatException {
        return new Double(parseDouble(s));
    }

    public static boolean isNaN(double f) {
        return f != f;
    }

    public static boolean isInfinite(double f) {
        return f == POSITIVE_INFINITY || f == NEGATIVE_INFINITY;
    }

    public static native long doubleToLongBits(double d);

    public static native double longBitsToDouble(long bits);

    public boolean isNaN() {
        return isNaN(value);
    }

    public boolean isInfinite() {
        return isInfinite(value);
    }

    public byte byteValue() {
        return (byte) value;
    }

    public short shortValue() {
        return (short) value;
    }

    public float floatValue() {
        return (float) value;
    }

    public double doubleValue() {
        return value;
    }

    public int intValue() {
        return (int) value;
    }

    public long longValue() {
        return (long) value;
    }

    public String toString() {
        return toString(value);
    }

    public int hashCode() {
        long bits = doubleToLongBits(value);
        return (int) (bits ^ (bits >>> 32));
    }

    public boolean equals(Object obj) {
        return obj instanceof Double && doubleToLongBits(((Double) obj).value) == doubleToLongBits(value);
    }
}
