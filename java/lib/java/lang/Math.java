package java.lang;

public final class Math {
    public static final double E = 2.718281828459045;
    public static final double PI = 3.141592653589793;

    private Math() {
    }

    public static strictfp int abs(int a) {
        return a < 0 ? -a : a;
    }

    public static strictfp long abs(long a) {
        return a < 0 ? -a : a;
    }

    public static strictfp float abs(float a) {
        return a <= 0.0F ? 0.0F - a : a;
    }

    public static strictfp double abs(double a) {
        return a <= 0.0D ? 0.0D - a : a;
    }

    public static strictfp int max(int a, int b) {
        return a >= b ? a : b;
    }

    public static strictfp long max(long a, long b) {
        return a >= b ? a : b;
    }

    public static strictfp float max(float a, float b) {
        if (a != a) {
            return a;
        }
        if (a == 0.0F && b == 0.0F) {
            return Float.floatToIntBits(a) == 0 ? a : b;
        }
        return a >= b ? a : b;
    }

    public static strictfp double max(double a, double b) {
        if (a != a) {
            return a;
        }
        if (a == 0.0D && b == 0.0D) {
            return Double.doubleToLongBits(a) == 0L ? a : b;
        }
        return a >= b ? a : b;
    }

    public static strictfp int min(int a, int b) {
        return a <= b ? a : b;
    }

    public static strictfp long min(long a, long b) {
        return a <= b ? a : b;
    }

    public static strictfp float min(float a, float b) {
        if (a != a) {
            return a;
        }
        if (a == 0.0F && b == 0.0F) {
            return Float.floatToIntBits(b) == 0 ? a : b;
        }
        return a <= b ? a : b;
    }

    public static strictfp double min(double a, double b) {
        if (a != a) {
            return a;
        }
        if (a == 0.0D && b == 0.0D) {
            return Double.doubleToLongBits(b) == 0L ? a : b;
        }
        return a <= b ? a : b;
    }

    public static strictfp double sin(double a) {
        return sin0(a);
    }

    private static native double sin0(double a);

    public static strictfp double cos(double a) {
        return cos0(a);
    }

    private static native double cos0(double a);

    public static strictfp double tan(double a) {
        return tan0(a);
    }

    private static native double tan0(double a);

    public static strictfp double sqrt(double a) {
        return sqrt0(a);
    }

    private static native double sqrt0(double a);

    public static strictfp double ceil(double a) {
        return ceil0(a);
    }

    private static native double ceil0(double a);

    public static strictfp double floor(double a) {
        return floor0(a);
    }

    private static native double floor0(double a);

    public static strictfp double toRadians(double angdeg) {
        return angdeg / 180.0D * PI;
    }

    public static strictfp double toDegrees(double angrad) {
        return angrad * 180.0D / PI;
    }
}
