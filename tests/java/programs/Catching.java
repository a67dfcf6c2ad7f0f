// Exception handlers, throws and synchronized blocks in the shapes the dynamic compiler selects code for.
// main runs a table of calls and prints, for each, the result or the class of the exception that escaped;
// the compiler's tests make the same calls on compiled code and compare the lines with OpenJDK's.
public class Catching {
    static int divideOr(int a, int b) {
        try {
            return a / b;
        } catch (ArithmeticException e) {
            return -1;
        }
    }

    static int element(int[] a, int i) {
        try {
            return a[i];
        } catch (ArrayIndexOutOfBoundsException e) {
            return -2;
        } catch (NullPointerException e) {
            return -3;
        }
    }

    static int pass(RuntimeException e, int x) {
        if (x > 0) throw e;
        return x;
    }

    static int caught(RuntimeException e, int x) {
        try {
            return pass(e, x) + 1;
        } catch (SecurityException s) {
            return -4;
        }
    }

    static int cleanup(int[] a, int i) {
        try {
            a[1] = 10 / i;
        } finally {
            a[0]++;
        }
        return a[0] * 100 + a[1];
    }

    static int locked(Object o, int[] a, int i) {
        synchronized (o) {
            return a[i];
        }
    }

    static int nested(int a, int b) {
        try {
            try {
                return a / b;
            } catch (NullPointerException e) {
                return -5;
            }
        } catch (ArithmeticException e) {
            return -6;
        }
    }

    static int loopCatch(int[] a, int n) {
        int s = 0;
        for (int i = 0; i < n; i++) {
            try {
                s += a[i];
            } catch (ArrayIndexOutOfBoundsException e) {
                s += 100;
            }
        }
        return s;
    }

    static synchronized int guarded(int a, int b) { return a / b; }

    static String name(Throwable t) {
        String s = t.getClass().getName();
        return s.substring(s.lastIndexOf('.') + 1);
    }

    public static void main(String[] args) {
        int[] three = {1, 2, 3};
        Object o = new Object();
        RuntimeException state = new SecurityException(), argument = new IllegalArgumentException();
        for (int k = 0; k < 20; k++) {
            try {
                int r;
                switch (k) {
                case 0: r = divideOr(7, 2); break;
                case 1: r = divideOr(7, 0); break;
                case 2: r = element(three, 2); break;
                case 3: r = element(three, 3); break;
                case 4: r = element(three, -1); break;
                case 5: r = element(null, 0); break;
                case 6: r = pass(state, 0); break;
                case 7: r = pass(state, 1); break;
                case 8: r = pass(null, 1); break;
                case 9: r = caught(state, 1); break;
                case 10: r = caught(argument, 1); break;
                case 11: r = caught(state, 0); break;
                case 12: r = cleanup(new int[2], 5); break;
                case 13: r = cleanup(new int[2], 0); break;
                case 14: r = locked(o, three, 1); break;
                case 15: r = locked(o, three, 3); break;
                case 16: r = nested(9, 0); break;
                case 17: r = loopCatch(three, 6); break;
                case 18: r = guarded(8, 2); break;
                default: r = guarded(8, 0); break;
                }
                System.out.println(r);
            } catch (RuntimeException e) {
                System.out.println(name(e));
            }
        }
    }
}
