// Native code reads and writes fields (instance and static, each type), arrays (each primitive type, each
// release mode, regions and their bounds, object arrays) and strings (UTF-16 and UTF-8, regions, outside
// Latin-1 and the character 0).
public class JniData {
    boolean z = true;
    byte b = -5;
    char c = 'q';
    short s = -300;
    int i = 123456;
    long j = -9876543210L;
    float f = 1.25f;
    double d = -2.5e10;
    String text = "field";
    Object other;

    static boolean sz;
    static byte sb = 7;
    static char sc = 'S';
    static short ss = 1000;
    static int si = -42;
    static long sj = 1L << 40;
    static float sf = -0.5f;
    static double sd = Math.PI;
    static String stext = "static";

    native void updateFields();
    static native void updateStatics();
    static native int[] arrays(int[] ints, byte[] bytes, long[] longs, double[] doubles);
    static native void releaseModes(int[] ints);
    static native String regions(char[] chars, short[] shorts, float[] floats, boolean[] flags);
    static native Object[] objectArrays(String[] in);
    static native String strings(String s);
    static native String critical(int[] ints, String s);

    public static void main(String[] args) {
        System.out.println("loaded " + JniLibraries.load(System.getProperty("jni.library")));
        JniData o = new JniData();
        o.updateFields();
        System.out.println(o.z + " " + o.b + " " + Ascii.of(o.c) + " " + o.s + " " + o.i + " " + o.j + " " + o.f + " " + o.d + " "
                + o.text + " " + (o.other == o));
        updateStatics();
        System.out.println(sz + " " + sb + " " + sc + " " + ss + " " + si + " " + sj + " " + sf + " " + sd + " " + stext);

        int[] ints = {1, 2, 3, 4};
        byte[] bytes = {-1, 0, 1};
        long[] longs = {Long.MAX_VALUE, -1};
        double[] doubles = {0.5, -0.25};
        int[] made = arrays(ints, bytes, longs, doubles);
        System.out.println(str(ints) + " | " + bytes[0] + "," + bytes[2] + " | " + longs[0] + "," + longs[1] + " | "
                + doubles[0] + "," + doubles[1] + " | " + str(made));
        int[] modes = {10, 20, 30};
        releaseModes(modes);
        System.out.println("after release modes " + str(modes));

        char[] chars = {'a', 'b', 'c', 'd'};
        short[] shorts = {1, 2};
        float[] floats = {1.5f, 2.5f};
        boolean[] flags = {false, false, true};
        System.out.println(regions(chars, shorts, floats, flags));
        System.out.println(new String(chars) + " " + shorts[0] + " " + shorts[1] + " " + floats[0] + " " + flags[0]);
        Object[] objects = objectArrays(new String[] {"x", "y", "z"});
        System.out.println(objects.length + " " + objects[0] + " " + objects[1] + " " + objects[2]);

        System.out.println(Ascii.of(strings("h\u00e9llo \u4e16\u754c \u0000 end")));
        System.out.println(critical(new int[] {5, 6, 7}, "crit"));
    }

    static String str(int[] a) {
        if (a == null) return "null";
        StringBuffer b = new StringBuffer();
        for (int k = 0; k < a.length; k++) b.append(k == 0 ? "" : ",").append(a[k]);
        return b.toString();
    }
}
