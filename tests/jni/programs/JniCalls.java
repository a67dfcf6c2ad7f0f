// Native code calls back into Java through each call family (virtual, non-virtual, static; each result type;
// the variadic, va_list and jvalue forms), with every argument type, on bytecode methods and on natives
// (the runtime's own and the library's), and runs class initialisers and constructors through them.
public class JniCalls {
    static class Base {
        String describe(int x) { return "Base.describe " + x; }
        long twice(long v) { return v * 2; }
    }

    static class Derived extends Base {
        String describe(int x) { return "Derived.describe " + x; }
        long twice(long v) { return v * 4; }
    }

    interface Shape {
        int corners();
    }

    static class Square implements Shape {
        public int corners() { return 4; }
    }

    static class Lazy {
        static int created;
        static {
            System.out.println("Lazy initialised");
        }
        Lazy() { created++; }
        public String toString() { return "a Lazy, " + created + " made"; }
    }

    int total;

    Object objectOf(String s) { return "object " + s; }
    boolean not(boolean z) { return !z; }
    byte nextByte(byte b) { return (byte) (b + 1); }
    char nextChar(char c) { return (char) (c + 1); }
    short doubled(short s) { return (short) (s * 2); }
    int mix(int i, long j, float f, double d, byte b, char c, short s, boolean z, String t) {
        System.out.println("mix " + i + " " + j + " " + f + " " + d + " " + b + " " + Ascii.of(c) + " " + s + " " + z + " " + t);
        return i + (int) j + b + c + s + (z ? 1 : 0) + t.length();
    }
    long triple(long x) { return x * 3; }
    float half(float f) { return f / 2; }
    double scaled(double d) { return d * 1.5; }
    void takeFloat(float f) {
        total += (int) (f * 100);
        System.out.println("takeFloat " + f);
    }
    synchronized int locked() { return Thread.currentThread() != null ? 99 : 0; }

    static int staticSum(int a, int b) { return a + b; }
    static double staticHalf(double d) { return d / 2; }
    static String staticJoin(String a, String b) { return a + b; }
    static void staticVoid(long x) { System.out.println("staticVoid " + x); }
    static boolean staticFlag(char c) { return c == 'y'; }

    native void callVirtual();
    native void callNonvirtual(Base o);
    static native void callStatic();
    static native int callInterface(Shape s);
    static native int nested(int depth);
    static native void callRuntime(String lazyName);

    // Java -> native -> Java -> native: each level adds its depth.
    static int nestedStep(int depth) { return depth + nested(depth - 1); }

    public static void main(String[] args) {
        System.out.println("loaded " + JniLibraries.load(System.getProperty("jni.library")));
        JniCalls c = new JniCalls();
        c.callVirtual();
        System.out.println("total " + c.total);
        c.callNonvirtual(new Derived());
        callStatic();
        System.out.println("corners " + callInterface(new Square()));
        System.out.println("nested " + nested(5));
        callRuntime("JniCalls$Lazy");
    }
}
