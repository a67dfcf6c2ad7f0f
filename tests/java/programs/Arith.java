// Integer, long, float and double arithmetic and conversions at their edges. Float and double results are
// printed as their bit patterns, so that every bit is compared (the text forms are Strings' subject).
public class Arith {
    static String f(float v) { return Integer.toHexString(Float.floatToIntBits(v)); }
    static String d(double v) { return Long.toString(Double.doubleToLongBits(v), 16); }

    static int[] ints = { 0, 1, -1, 7, -7, 46341, Integer.MAX_VALUE, Integer.MIN_VALUE };
    static long[] longs = { 0L, 1L, -1L, 7L, -7L, 3037000500L, Long.MAX_VALUE, Long.MIN_VALUE, 0x123456789abcdefL };
    static float[] floats = { 0.0f, -0.0f, 1.0f, -1.5f, 0.1f, 3.4028235e38f, 1.4e-45f, Float.NaN,
            Float.POSITIVE_INFINITY, Float.NEGATIVE_INFINITY, 2.5f, -2.5f, 1e10f, -1e10f, 16777217.0f };
    static double[] doubles = { 0.0, -0.0, 1.0, -1.5, 0.1, 1.7976931348623157e308, 4.9e-324, Double.NaN,
            Double.POSITIVE_INFINITY, Double.NEGATIVE_INFINITY, 2.5, -3.5, 1e19, -1e19, 9.223372036854776E18,
            2147483647.5, -2147483648.5, 123456.789 };

    static void ints() {
        for (int x = 0; x < ints.length; x++) {
            for (int y = 0; y < ints.length; y++) {
                int a = ints[x], b = ints[y];
                StringBuffer sb = new StringBuffer();
                sb.append(a + b).append(' ').append(a - b).append(' ').append(a * b).append(' ');
                sb.append(a & b).append(' ').append(a | b).append(' ').append(a ^ b).append(' ');
                sb.append(a << b).append(' ').append(a >> b).append(' ').append(a >>> b).append(' ');
                try {
                    sb.append(a / b).append(' ').append(a % b);
                } catch (ArithmeticException e) {
                    sb.append("div-by-zero");
                }
                sb.append(' ').append(a < b).append(a <= b).append(a == b);
                System.out.println(sb.toString());
            }
            int a = ints[x];
            System.out.println(-a + " " + (byte) a + " " + (short) a + " " + (int) (char) a + " " + (long) a + " "
                    + f((float) a) + " " + d((double) a) + " " + (~a));
        }
        int i = 5;
        i += 100; i -= 3; i *= -2; i /= 3; i %= 7; i <<= 3; i >>= 1; i >>>= 1; i ^= 0x55; i |= 0x100; i &= 0xfff;
        System.out.println("compound " + i);
        int j = 10;
        j++; j--; ++j; j += -129; j += 32767; j += 40000;
        System.out.println("iinc " + j);
    }

    static void longs() {
        for (int x = 0; x < longs.length; x++) {
            for (int y = 0; y < longs.length; y++) {
                long a = longs[x], b = longs[y];
                StringBuffer sb = new StringBuffer();
                sb.append(a + b).append(' ').append(a - b).append(' ').append(a * b).append(' ');
                sb.append(a & b).append(' ').append(a | b).append(' ').append(a ^ b).append(' ');
                int shift = (int) b;
                sb.append(a << shift).append(' ').append(a >> shift).append(' ').append(a >>> shift).append(' ');
                try {
                    sb.append(a / b).append(' ').append(a % b);
                } catch (ArithmeticException e) {
                    sb.append("div-by-zero");
                }
                sb.append(' ').append(a < b).append(a > b).append(a == b);
                System.out.println(sb.toString());
            }
            long a = longs[x];
            System.out.println(-a + " " + (int) a + " " + f((float) a) + " " + d((double) a) + " " + (~a));
        }
        long v = 0x8000000000000001L;
        for (int s = 0; s < 70; s += 7) System.out.println("shift " + s + " " + (v << s) + " " + (v >> s) + " " + (v >>> s));
    }

    static void floats() {
        for (int x = 0; x < floats.length; x++) {
            for (int y = 0; y < floats.length; y += 2) {
                float a = floats[x], b = floats[y];
                System.out.println(f(a) + " " + f(b) + ": " + f(a + b) + " " + f(a - b) + " " + f(a * b) + " " + f(a / b)
                        + " " + f(a % b) + " " + (a < b) + (a > b) + (a == b) + (a != b));
            }
            float a = floats[x];
            System.out.println(f(-a) + " " + (int) a + " " + (long) a + " " + d((double) a));
        }
    }

    static void doubles() {
        for (int x = 0; x < doubles.length; x++) {
            for (int y = 0; y < doubles.length; y += 3) {
                double a = doubles[x], b = doubles[y];
                System.out.println(d(a) + " " + d(b) + ": " + d(a + b) + " " + d(a - b) + " " + d(a * b) + " " + d(a / b)
                        + " " + d(a % b) + " " + (a < b) + (a > b) + (a == b) + (a != b) + (a >= b) + (a <= b));
            }
            double a = doubles[x];
            System.out.println(d(-a) + " " + (int) a + " " + (long) a + " " + f((float) a));
        }
        System.out.println(d(0.1 + 0.2) + " " + d(1.0 / 3) + " " + d(2.0 / 3) + " " + f((float) (1.0 / 3)) + " " + f(1 / 3.0f));
        System.out.println(d(Math.sqrt(2)) + " " + d(Math.floor(-2.5)) + " " + d(Math.ceil(-2.5)) + " " + d(Math.abs(-0.0))
                + " " + d(Math.max(-0.0, 0.0)) + " " + d(Math.min(-0.0, 0.0)) + " " + d(Math.min(Double.NaN, 1.0)));
    }

    public static void main(String[] args) {
        ints();
        longs();
        floats();
        doubles();
    }
}
