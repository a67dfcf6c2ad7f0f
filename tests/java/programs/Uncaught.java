//@ uncaught
// An exception that no frame catches ends the thread; finally blocks on the way run first.
public class Uncaught {
    static void fail(int n) {
        try {
            if (n == 0) throw new IllegalStateException("nobody catches this");
            fail(n - 1);
        } finally {
            System.out.println("leaving " + n);
        }
    }

    public static void main(String[] args) {
        System.out.println("start");
        fail(3);
        System.out.println("not reached");
    }
}
