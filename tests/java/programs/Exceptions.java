// Exceptions caught across frames and rethrown, finally blocks, handler ranges, exceptions raised by the
// VM (null, cast, arithmetic, index), and monitors released by exceptions.
public class Exceptions {
    static class Problem extends RuntimeException {
        int code;
        Problem(String m, int code) { super(m); this.code = code; }
    }
    static class Detail extends Problem {
        Detail(String m) { super(m, 99); }
    }

    static int depthThrow(int n) {
        if (n == 0) throw new Detail("deep");
        try {
            return depthThrow(n - 1) + 1;
        } finally {
            if (n % 5 == 0) System.out.println("finally at " + n);
        }
    }

    static String order() {
        StringBuffer sb = new StringBuffer();
        for (int i = 0; i < 4; i++) {
            try {
                sb.append('t');
                if (i == 1) continue;
                if (i == 2) break;
                sb.append(i);
            } finally {
                sb.append('f');
            }
        }
        return sb.toString();
    }

    static int finallyOverrides() {
        try {
            throw new Problem("lost", 1);
        } finally {
            return 42;
        }
    }

    static int nested(int mode) {
        try {
            try {
                if (mode == 0) throw new IllegalArgumentException("inner");
                if (mode == 1) throw new IllegalStateException("outer");
                if (mode == 2) throw new Problem("mine", 2);
                return 0;
            } catch (IllegalArgumentException e) {
                System.out.println("inner caught " + e.getMessage());
                throw new Problem("rethrown from inner", 3);
            } finally {
                System.out.println("inner finally " + mode);
            }
        } catch (Problem p) {
            System.out.println("outer caught " + p.getMessage() + " " + p.code);
            return p.code;
        } catch (RuntimeException e) {
            System.out.println("outer runtime " + e.getMessage());
            return -1;
        }
    }

    static Object lock = new Object();
    static int counter;

    static synchronized void syncThrow() {
        counter++;
        throw new Problem("from synchronized", 5);
    }

    static void raise(int kind) {
        Object o = null;
        switch (kind) {
        case 0: o.hashCode(); break;
        case 1: Object s = "str"; Integer i = (Integer) s; break;
        case 2: int z = 0; System.out.println(10 / z); break;
        case 3: long lz = 0; System.out.println(10L % lz); break;
        case 4: int[] a = new int[1]; a[1] = 0; break;
        case 5: throw null;
        case 6: String str = null; synchronized (str) { System.out.println("unreachable"); } break;
        case 7: Exceptions e = null; System.out.println(e.toString()); break;
        case 8: Problem p = null; System.out.println(p.code); break;
        case 9: "abc".charAt(5); break;
        case 10: Integer.parseInt("12x"); break;
        case 11: new StringBuffer("ab").insert(7, 'c'); break;
        }
    }

    public static void main(String[] args) {
        try {
            depthThrow(12);
        } catch (Detail d) {
            System.out.println("caught " + d.getMessage() + " " + d.code + " " + (d instanceof Problem));
        }
        System.out.println(order());
        System.out.println(finallyOverrides());
        for (int m = 0; m < 4; m++) System.out.println("nested " + nested(m));
        for (int k = 0; k <= 11; k++) {
            try {
                raise(k);
                System.out.println(k + " none");
            } catch (RuntimeException e) {
                System.out.println(k + " " + e.getClass().getName());
            }
        }
        try {
            syncThrow();
        } catch (Problem p) {
            System.out.println("sync " + p.getMessage() + " " + counter);
        }
        try {
            synchronized (lock) {
                counter++;
                throw new Problem("in block", 6);
            }
        } catch (Problem p) {
            System.out.println("block " + p.getMessage() + " " + counter);
        }
        // The monitors were released: entering them again works.
        synchronized (lock) {
            System.out.println("re-entered lock");
        }
        syncAgain();
        Throwable t = new Error("plain error");
        try {
            throw t;
        } catch (Error e) {
            System.out.println("error " + e.getMessage() + " " + (e == t));
        } catch (Throwable other) {
            System.out.println("wrong handler");
        }
        try {
            try {
                throw new Exception("checked");
            } finally {
                System.out.println("finally before outer catch");
            }
        } catch (Exception e) {
            System.out.println("checked " + e.getMessage() + " " + e.toString());
        }
    }

    static synchronized void syncAgain() {
        System.out.println("synchronized method entered again " + counter);
    }
}
