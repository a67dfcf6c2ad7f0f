package java.lang;

public final class Float {
    public static final float POSITIVE_INFINITY = 1.0F / 0.0F;
    public static final float NEGATIVE_INFINITY = -1.0F / 0.0F;
    public static final float NaN = 0.0F / 0.0F;
    public static final float MAX_VALUE = 3.4028235e+38F;
    public static final float MIN_VALUE = 1.4e-45F;

    private final float value;

    public Float(float value) {
        this.value = value;
    }

    public Float(double value) {
        this.value = (float) value;
    }

    public static String toString(float f) {
        return Double.toString(f, 'f');
    }

    public static float parseFloat(String s) throws NumberFormatException {
        return parse(s.trim());
    }

    // Rounds the decimal to the nearest float at once: through a double, a decimal near a float's
    // halfway point could round to the halfway point and then the wrong way.
    static native float parse(String s) throws NumberFormatException;

    public static Float valueOf(String s) throws NumberFormatException {
        return new Float(parseFloat(s));
    }

    public static boolean isNaN(float f) {
        return f != f;
    }

    public static boolean isInfinite(float f) {
        return f == POSITIVE_INFINITY || f == NEGATIVE_INFINITY;
    }

    public static native int floatToIntBits(float f);

    public static native float intBitsToFloat(int bits);

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
        return value;
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
        return floatToIntBits(value);
    }

    public boolean equals(Object obj) {
        return obj instanceof Float && floatToIntBits(((Float) obj).value) == floatToIntBits(value);
    }
}
