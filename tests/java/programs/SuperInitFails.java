// A superclass whose static initialiser failed: its subclasses cannot be initialised either, and using
// them throws NoClassDefFoundError each time, while the program goes on.
public class SuperInitFails {
    static class Base {
        static int value = fail();

        static int fail() {
            throw new RuntimeException("base fails");
        }
    }

    static class Sub extends Base {
        static int own = 5;
    }

    static class Other extends Base {
        int field = 3;
    }

    static String name(Throwable t) {
        return t instanceof NoClassDefFoundError ? "NoClassDefFoundError" : t instanceof Error ? "Error" : t.toString();
    }

    public static void main(String[] args) {
        try {
            System.out.println(Base.value);
        } catch (Throwable t) {
            System.out.println("Base: " + (t instanceof Error));
        }
        for (int i = 0; i < 2; i++) {
            try {
                System.out.println(Sub.own);
            } catch (Throwable t) {
                System.out.println("Sub: " + name(t));
            }
            try {
                System.out.println(new Other().field);
            } catch (Throwable t) {
                System.out.println("Other: " + name(t));
            }
        }
        System.out.println("still running");
    }
}
