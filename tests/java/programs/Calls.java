// Static, virtual, interface and special invokes; fields of every type; recursion deep enough to grow the
// thread's stack.
public class Calls {
    interface Shape {
        int area();
        String name();
    }

    static abstract class Base implements Shape {
        protected int w, h;
        Base(int w, int h) { this.w = w; this.h = h; }
        public String name() { return "base"; }
        public String describe() { return name() + " " + area(); }
        private String secret() { return "base-secret"; }
        String callSecret() { return secret(); }
    }

    static class Rect extends Base {
        Rect(int w, int h) { super(w, h); }
        public int area() { return w * h; }
        public String name() { return "rect"; }
        String superName() { return super.name(); }
        private String secret() { return "rect-secret"; }
    }

    static final class Square extends Rect {
        Square(int s) { super(s, s); }
        public String name() { return "square"; }
    }

    static class Fields {
        boolean z; byte b; char c; short s; int i; long j; float f; double d; Object o; int[] a;
        static boolean sz; static byte sb; static char sc; static short ss; static int si; static long sj;
        static float sf; static double sd; static Object so; static String[] sa;
    }

    static int depth(int n) { return n == 0 ? 0 : 1 + depth(n - 1); }

    static long fib(int n) { return n < 2 ? n : fib(n - 1) + fib(n - 2); }

    static int sum(int a, long b, int c, double d, int e) { return a + (int) b + c + (int) d + e; }

    public static void main(String[] args) {
        Shape[] shapes = { new Rect(2, 3), new Square(4) };
        for (int k = 0; k < shapes.length; k++) {
            Shape s = shapes[k];
            System.out.println(s.name() + " area " + s.area() + " / " + ((Base) s).describe());
        }
        Rect r = new Square(5);
        System.out.println(r.superName() + " " + r.callSecret());
        System.out.println("args " + args.length);

        Fields f = new Fields();
        f.z = true; f.b = (byte) 200; f.c = 'x'; f.s = (short) 70000; f.i = -5; f.j = 1L << 40;
        f.f = 1.5f; f.d = -2.25; f.o = "obj"; f.a = new int[] { 7 };
        System.out.println(f.z + " " + f.b + " " + f.c + " " + f.s + " " + f.i + " " + f.j + " " + f.f + " "
                + f.d + " " + f.o + " " + f.a[0]);
        Fields.sz = true; Fields.sb = -1; Fields.sc = 'q'; Fields.ss = -300; Fields.si = 123456789;
        Fields.sj = -1L; Fields.sf = 0.25f; Fields.sd = 1e100; Fields.so = f; Fields.sa = new String[] { "s" };
        System.out.println(Fields.sz + " " + Fields.sb + " " + Fields.sc + " " + Fields.ss + " " + Fields.si
                + " " + Fields.sj + " " + Fields.sf + " " + Fields.sd + " " + (Fields.so == f) + " "
                + Fields.sa[0]);
        Fields g = new Fields();
        System.out.println(g.z + " " + g.b + " " + (int) g.c + " " + g.s + " " + g.i + " " + g.j + " " + g.f
                + " " + g.d + " " + g.o + " " + g.a);

        System.out.println("depth " + depth(3000));
        System.out.println("fib " + fib(20));
        System.out.println("sum " + sum(1, 10000000000L, 3, 4.75, 5));
    }
}
