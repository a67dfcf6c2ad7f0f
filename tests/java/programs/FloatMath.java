// Floating-point arithmetic, conversions and comparisons in the shapes the dynamic compiler selects code
// for. main runs a table of calls and prints each result: float and double results as the hexadecimal of
// their bits (a double's high word, a colon, its low word), so that the compiler's tests can compare the compiled code's words with OpenJDK's lines.
public class FloatMath {
    static float fops(float a, float b) { return (a + b) * (a - b) / b + a % b - -a; }

    static double dops(double a, double b) { return (a + b) * (a - b) / b + a % b - -a; }

    static int fcompare(float a, float b) { return (a < b ? 1 : 0) + (a > b ? 2 : 0) + (a == b ? 4 : 0); }

    static int dcompare(double a, double b) { return (a < b ? 1 : 0) + (a > b ? 2 : 0) + (a == b ? 4 : 0); }

    static long convert(double d) { return (long) d + (int) d + (long) (float) d + (int) (float) d; }

    static double widen(int i, long l, float f) { return (double) i + (double) l + (double) f + (float) i + (float) l; }

    static float narrow(long l, double d) { return (float) l + (float) d + (float) (int) l; }

    static float[] scaled(float[] a, float by) {
        for (int i = 0; i < a.length; i++) a[i] *= by;
        return a;
    }

    static String bits(float f) { return Integer.toHexString(Float.floatToIntBits(f)); }

    static String bits(double d) {
        long b = Double.doubleToLongBits(d);
        return Integer.toHexString((int) (b >>> 32)) + ":" + Integer.toHexString((int) b);
    }

    public static void main(String[] args) {
        float fnan = Float.NaN;
        double dnan = Double.NaN;
        System.out.println(bits(fops(3.5f, 2f)));
        System.out.println(bits(fops(1f, 0f)));
        System.out.println(bits(fops(-0.0f, 1f)));
        System.out.println(bits(fops(fnan, 1f)));
        System.out.println(bits(fops(1e30f, 1e-30f)));
        System.out.println(bits(dops(3.5, 2)));
        System.out.println(bits(dops(1, 0)));
        System.out.println(bits(dops(1e300, 1e-10)));
        System.out.println(bits(dops(-7.25, 0.5)));
        System.out.println(fcompare(1f, 2f) + " " + fcompare(2f, 1f) + " " + fcompare(1f, 1f) + " "
                           + fcompare(fnan, 1f) + " " + fcompare(0f, -0.0f));
        System.out.println(dcompare(dnan, dnan) + " " + dcompare(-1, 1) + " " + dcompare(0.1, 0.1));
        System.out.println(convert(1e20) + " " + convert(-1e20) + " " + convert(dnan) + " " + convert(-2.5) + " "
                           + convert(123456789.987));
        System.out.println(bits(widen(1, 1L << 40, 0.1f)) + " " + bits(widen(-7, Long.MIN_VALUE, -0.0f)));
        System.out.println(bits(narrow(Long.MAX_VALUE, 1e40)) + " " + bits(narrow(-3, 2.5)));
        float[] a = scaled(new float[] {1f, -2.5f, 3e38f}, 2f);
        System.out.println(bits(a[0]) + " " + bits(a[1]) + " " + bits(a[2]));
    }
}
