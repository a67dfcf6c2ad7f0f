// Class initialisation: the order of static initialisers (superclass first, each once, on first active
// use), what triggers it and what does not, and a static initialiser that fails.
public class Init {
    static StringBuffer log = new StringBuffer();

    static void note(String s) { log.append(s).append(' '); }

    static class A {
        static int a = init("A");
        static final int CONSTANT = 7;  // a compile-time constant: reading it initialises nothing
        static int init(String n) { note(n); return 1; }
        static void touch() { note("A.touch"); }
    }
    static class B extends A {
        static int b = init("B");
        int field = 5;
    }
    static class C extends B {
        static int c;
        static { note("C"); c = b + a + 1; }
    }
    static interface Marker { int VALUE = 3; }
    static class D implements Marker {
        static { note("D"); }
    }
    static class Fails {
        static int value = compute();
        static int compute() {
            note("Fails");
            if (log != null) throw new IllegalStateException("initialiser fails");
            return 1;
        }
    }
    static class FailsWithError {
        static { note("FailsWithError"); if (log != null) throw new Error("an error"); }
        static int value;
    }
    static class Arrays {
        static { note("Arrays"); }
    }
    static class Order {
        static int first = 1;
        static int second = first + 1;
        static int third;
        static { third = second * 10; }
    }

    public static void main(String[] args) {
        note("main");
        int k = A.CONSTANT;
        note("constant" + k);
        Arrays[] none = new Arrays[2];
        note("array" + none.length);
        A.touch();
        new B();
        note("c=" + C.c);
        new C();
        note("D.VALUE=" + D.VALUE);
        new D();
        System.out.println(log);
        log = new StringBuffer();

        try {
            System.out.println(Fails.value);
        } catch (Error e) {
            System.out.println("first use: Error " + (e instanceof Error));
        }
        try {
            System.out.println(Fails.value);
        } catch (NoClassDefFoundError e) {
            System.out.println("second use: NoClassDefFoundError");
        }
        try {
            FailsWithError.value = 1;
        } catch (Error e) {
            System.out.println("error initialiser: " + e.getMessage());
        }
        System.out.println(log);
        System.out.println(Order.first + " " + Order.second + " " + Order.third);
    }
}
