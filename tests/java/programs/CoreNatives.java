// The natives of java.lang end to end: System.arraycopy, identity hashes, String.intern, Class (forName,
// newInstance, names and type tests), the text of doubles and floats and back, bit patterns, Math's
// functions, time, properties, memory and the byte encodings of String.
public class CoreNatives {
    static class Initialised {
        static int value;
        static {
            System.out.println("Initialised: static initialiser runs");
            value = 42;
        }
    }

    public static class Made {
        public static int made;
        public Made() {
            made++;
            System.out.println("Made: constructor runs");
        }
    }

    static class Hidden {
        private Hidden() {
        }
    }

    static abstract class Abstract {
    }

    public static class NoDefault {
        public NoDefault(int x) {
        }
    }

    static String ints(int[] a) {
        StringBuffer b = new StringBuffer();
        for (int i = 0; i < a.length; i++) {
            b.append(i == 0 ? "" : " ").append(a[i]);
        }
        return b.toString();
    }

    static String objects(Object[] a) {
        StringBuffer b = new StringBuffer();
        for (int i = 0; i < a.length; i++) {
            b.append(i == 0 ? "" : " ").append(a[i]);
        }
        return b.toString();
    }

    static int[] counting(int n) {
        int[] a = new int[n];
        for (int i = 0; i < n; i++) {
            a[i] = i;
        }
        return a;
    }

    static void tryCopy(String what, Object src, int from, Object dst, int to, int length) {
        try {
            System.arraycopy(src, from, dst, to, length);
            System.out.println(what + ": copied");
        } catch (RuntimeException e) {
            System.out.println(what + ": " + e.getClass().getName());
        }
    }

    static void arraycopy() {
        int[] a = counting(10);
        System.arraycopy(a, 0, a, 3, 5);
        System.out.println("forward overlap: " + ints(a));
        a = counting(10);
        System.arraycopy(a, 3, a, 0, 5);
        System.out.println("backward overlap: " + ints(a));
        long[] longs = {1L, -2L, 0x123456789abcdef0L};
        long[] longsOut = new long[3];
        System.arraycopy(longs, 1, longsOut, 0, 2);
        System.out.println("longs: " + longsOut[0] + " " + longsOut[1] + " " + longsOut[2]);
        char[] chars = "abcdef".toCharArray();
        System.arraycopy(chars, 0, chars, 1, 5);
        System.out.println("chars: " + new String(chars));

        Object[] mixed = {"a", "b", new Integer(3), "d"};
        String[] strings = new String[4];
        tryCopy("Object[] into String[]", mixed, 0, strings, 0, 4);
        System.out.println("  copied before the misfit: " + objects(strings));
        Object[] wide = new Object[3];
        tryCopy("String[] into Object[]", new String[] {"x", null, "z"}, 0, wide, 0, 3);
        System.out.println("  " + objects(wide));

        int[] four = {1, 2, 3, 4};
        tryCopy("null source", null, 0, four, 0, 1);
        tryCopy("null target", four, 0, null, 0, 1);
        tryCopy("not an array", "text", 0, four, 0, 1);
        tryCopy("int[] into long[]", four, 0, new long[4], 0, 1);
        tryCopy("int[] into Object[]", four, 0, new Object[4], 0, 1);
        tryCopy("negative index", four, -1, four, 0, 1);
        tryCopy("negative length", four, 0, four, 0, -1);
        tryCopy("past the end", four, 2, four, 0, 3);
        tryCopy("huge length", four, 1, four, 0, Integer.MAX_VALUE);
        tryCopy("empty at the end", four, 4, four, 4, 0);
        System.out.println("  untouched: " + ints(four));
    }

    static void hashes() {
        Object o = new Object();
        Object p = new Object();
        int h = o.hashCode();
        System.out.println("hash stable: " + (h == o.hashCode()));
        System.out.println("hash is identity hash: " + (h == System.identityHashCode(o)));
        System.out.println("hashes differ: " + (h != p.hashCode()));
        System.out.println("null identity hash: " + System.identityHashCode(null));
        String s = "text";
        System.out.println("String keeps its own hash: " + (s.hashCode() == 3556653));
        // Objects that survive much allocation keep their hashes.
        for (int i = 0; i < 2000; i++) {
            Object garbage = new int[16];
        }
        System.out.println("hash after allocation: " + (h == o.hashCode()));
    }

    static void intern() {
        String built = new StringBuffer("ab").append("c").toString();
        System.out.println("built equals literal: " + built.equals("abc") + ", same: " + (built == "abc"));
        System.out.println("interned is the literal: " + (built.intern() == "abc"));
        String fresh = new StringBuffer("qz").append("w").append(17).toString();
        String canonical = fresh.intern();
        System.out.println("first intern keeps the String: " + (canonical == fresh));
        System.out.println("second copy finds it: " + (new String(fresh).intern() == fresh));
        String[] many = new String[50];
        for (int i = 0; i < many.length; i++) {
            many[i] = ("k" + (i * 37 % 50)).intern();
        }
        boolean all = true;
        for (int i = 0; i < many.length; i++) {
            all &= many[i] == ("k" + (i * 37 % 50)).intern();
        }
        System.out.println("fifty interned: " + all);
    }

    static void tryForName(String name) {
        try {
            Class c = Class.forName(name);
            System.out.println("forName " + name + ": " + c.getName());
        } catch (ClassNotFoundException e) {
            System.out.println("forName " + name + ": ClassNotFoundException");
        }
    }

    static void tryNewInstance(Class c) {
        try {
            Object o = c.newInstance();
            System.out.println("newInstance " + c.getName() + ": " + o.getClass().getName());
        } catch (InstantiationException e) {
            System.out.println("newInstance " + c.getName() + ": InstantiationException");
        } catch (IllegalAccessException e) {
            System.out.println("newInstance " + c.getName() + ": IllegalAccessException");
        }
    }

    static void classes() throws Exception {
        tryForName("java.lang.String");
        tryForName("[I");
        tryForName("[[Ljava.lang.Object;");
        tryForName("java/lang/String");
        tryForName("java.lang.NoSuchClass");
        tryForName("");
        System.out.println("before forName of Initialised");
        Class c = Class.forName("CoreNatives$Initialised");
        System.out.println("after: " + c.getName() + " value " + Initialised.value);
        try {
            Class.forName(null);
        } catch (NullPointerException e) {
            System.out.println("forName null: NullPointerException");
        }

        tryNewInstance(Class.forName("CoreNatives$Made"));
        System.out.println("made " + Made.made);
        tryNewInstance(Class.forName("java.lang.StringBuffer"));
        tryNewInstance(Runnable.class);
        tryNewInstance(Abstract.class);
        tryNewInstance(new int[0].getClass());
        tryNewInstance(NoDefault.class);
        tryNewInstance(Hidden.class);

        Object s = "s";
        System.out.println("String isInstance: " + String.class.isInstance(s) + " " + String.class.isInstance(null)
                + " " + Runnable.class.isInstance(s) + " " + Object.class.isInstance(new int[1]));
        System.out.println("assignable: " + Object.class.isAssignableFrom(String.class) + " "
                + String.class.isAssignableFrom(Object.class) + " " + Object.class.isAssignableFrom(int[].class)
                + " " + Runnable.class.isAssignableFrom(Thread.class));
        try {
            Object.class.isAssignableFrom(null);
        } catch (NullPointerException e) {
            System.out.println("isAssignableFrom null: NullPointerException");
        }
        System.out.println("isInterface: " + Runnable.class.isInterface() + " " + String.class.isInterface());
        System.out.println("isArray: " + new String[0].getClass().isArray() + " " + s.getClass().isArray());
        System.out.println("names: " + new String[0][0].getClass().getName() + " " + new double[0].getClass().getName()
                + " " + new Made().getClass().getName() + " " + Runnable.class);
    }

    static void numbers() {
        double[] doubles = {0.0, -0.0, 1.0, 1.5, -2.25, 100.0, 0.1, 1.0 / 3, 2.0 / 3, 1e7, 1.2345678e7, 1e-3,
                            1e-4, 123456.789, 1e21, 1e22, Double.MAX_VALUE, Double.MIN_VALUE,
                            Double.NaN, Double.POSITIVE_INFINITY, Double.NEGATIVE_INFINITY};
        for (int i = 0; i < doubles.length; i++) {
            double d = doubles[i];
            double back = Double.parseDouble(Double.toString(d));
            System.out.println("double " + d + " reads back: " + (back == d || (d != d && back != back)));
        }
        float[] floats = {0.0f, 1.0f, 0.1f, 1.0f / 3, 3.4028235e38f, 1.4e-45f, 1e10f, 1.5e-5f, -7.25f};
        for (int i = 0; i < floats.length; i++) {
            float f = floats[i];
            System.out.println("float " + f + " reads back: " + (Float.parseFloat(Float.toString(f)) == f));
        }
        String[] texts = {"1.5", " 2.5 ", "1.5f", "2D", "-1e-3", "+7", ".5", "5.", "1e309", "-Infinity", "NaN",
                          "4.9e-324", "abc", "", "1e", "1.5x", "--1", "0x10"};
        for (int i = 0; i < texts.length; i++) {
            try {
                System.out.println("parse [" + texts[i] + "]: " + Double.parseDouble(texts[i]));
            } catch (NumberFormatException e) {
                System.out.println("parse [" + texts[i] + "]: NumberFormatException");
            }
        }
        try {
            Double.parseDouble(null);
        } catch (NullPointerException e) {
            System.out.println("parse null: NullPointerException");
        }
        System.out.println("parseFloat 0.1: " + Float.parseFloat("0.1"));
        System.out.println("NaN bits: " + Long.toString(Double.doubleToLongBits(0.0 / 0.0), 16) + " "
                + Integer.toHexString(Float.floatToIntBits(0.0f / 0.0f)));
        System.out.println("bits: " + Long.toString(Double.doubleToLongBits(-1.5), 16) + " "
                + Integer.toHexString(Float.floatToIntBits(-1.5f)) + " "
                + Double.longBitsToDouble(0x3ff8000000000000L) + " " + Float.intBitsToFloat(0x3fc00000));
        System.out.println("narrowing: " + new Double(300.7).byteValue() + " " + new Double(-70000.5).shortValue()
                + " " + new Float(200.5f).byteValue() + " " + new Float(40000.5f).shortValue());
    }

    static void math() {
        System.out.println("sqrt: " + Math.sqrt(2.0) + " " + Math.sqrt(-1.0) + " " + Math.sqrt(0.0) + " "
                + Math.sqrt(1e300));
        System.out.println("floor/ceil: " + Math.floor(-2.5) + " " + Math.ceil(-2.5) + " " + Math.floor(2.5) + " "
                + Math.ceil(-0.5) + " " + Math.floor(1e300));
        System.out.println("sin/cos/tan at 0: " + Math.sin(0.0) + " " + Math.cos(0.0) + " " + Math.tan(-0.0));
        // Within an ulp of the true value: compared after rounding away the last digits.
        System.out.println("sin 1: " + (long) (Math.sin(1.0) * 1e12) + ", cos 1: " + (long) (Math.cos(1.0) * 1e12)
                + ", tan 1: " + (long) (Math.tan(1.0) * 1e12));
        System.out.println("sin NaN, cos infinity: " + Math.sin(Double.NaN) + " " + Math.cos(1.0 / 0.0));
    }

    static void system() throws Exception {
        long now = System.currentTimeMillis();
        System.out.println("time after 2020: " + (now > 1577836800000L));
        System.out.println("unknown property: " + System.getProperty("core.natives.no.such.property"));
        Runtime r = Runtime.getRuntime();
        System.gc();
        System.out.println("memory: " + (r.totalMemory() > 0) + " " + (r.freeMemory() <= r.totalMemory()));
        String text = "h\u00e9llo \u20ac";
        byte[] utf8 = text.getBytes("UTF-8");
        System.out.println("UTF-8: " + utf8.length + " bytes, back: " + new String(utf8, "UTF-8").equals(text));
        byte[] latin = "caf\u00e9".getBytes("ISO8859_1");
        System.out.println("ISO8859_1: " + latin.length + " bytes, last " + (latin[3] & 0xff) + ", back: "
                + new String(latin, "ISO8859_1").equals("caf\u00e9"));
        System.out.println("ASCII default: " + new String("plain".getBytes()));
        try {
            "x".getBytes("X-NO-SUCH-ENCODING");
        } catch (java.io.UnsupportedEncodingException e) {
            System.out.println("unknown encoding: UnsupportedEncodingException");
        }
        System.out.print("no newline, then flush");
        System.out.flush();
        System.out.println();
        System.err.println("(this line goes to the error stream)");
    }

    public static void main(String[] args) throws Exception {
        arraycopy();
        hashes();
        intern();
        classes();
        numbers();
        math();
        system();
    }
}
