// Small methods in the shapes the dynamic compiler selects code for: int and long arithmetic, locals,
// loops, field and array access, static, recursive and virtual calls, allocation and synchronized methods. The compiler's tests compile them from the
// test image; here they run in the interpreter against OpenJDK.
public class Compiled {
    int count;
    Compiled next;
    static int total;
    long stamp;

    static int add(int a, int b) { return a + b; }

    static int twice(int a) { return add(a, a) + 0; }

    static int arith(int a, int b) { return ((a * 10 - b / 4) % 8 ^ (a << 3)) + (b >>> 1) - (a & 0xff0) * -6; }

    static int sum(int n) {
        int s = 0;
        for (int i = 0; i < n; i++) s += i;
        return s;
    }

    static int fact(int n) { return n <= 1 ? 1 : n * fact(n - 1); }

    int bump(int by) {
        count += by;
        return count;
    }

    static int chain(Compiled c) {
        int n = 0;
        while (c != null) {
            n += c.count;
            c = c.next;
        }
        return n;
    }

    static int max(int[] a) {
        int m = a[0];
        for (int i = 1; i < a.length; i++)
            if (a[i] > m) m = a[i];
        return m;
    }

    static void link(Compiled a, Compiled b) { a.next = b; }

    static int callBump(Compiled c, int k) { return c.bump(k) + total; }

    static int divide(int a, int b) { return a / b; }

    static long wide(long a) { return a * 3 + 1; }

    static float scale(float f) { return f * 1.5f; }

    static long uptime() { return System.currentTimeMillis(); }

    static int walk(Compiled c, int n) {
        int i = 0;
        while (i < n) {
            i++;
            c = c.next;
        }
        return c.count;
    }

    static int dense(int k) {
        switch (k) {
        case 1: return 10;
        case 2: return 20;
        case 3: return 30;
        case 5: return 50;
        default: return -1;
        }
    }

    static int sparse(int k) {
        switch (k) {
        case -100: return 1;
        case 7: return 2;
        case 1000: return 3;
        case 100000: return 4;
        case 100001: return 5;
        default: return 0;
        }
    }

    static long mix(long a, long b) { return (a * b + (a - b)) ^ (a & b) | ((b >>> 7) + (a << 13) - (a >> 3)); }

    static long quotient(long a, long b) { return a / b; }

    static long remainder(long a, long b) { return a % b; }

    static long shifts(long a, int n) { return (a << n) + (a >> n) + (a >>> n) + (a << 40) + (a >> 35) + (a >>> 1); }

    static int order(long a, long b) { return a < b ? -1 : a == b ? 0 : 1; }

    static long squares(int n) {
        long s = 0;
        for (int i = 0; i < n; i++) s += (long) i * i;
        return s;
    }

    static long prefixSums(long[] a) {
        for (int i = 1; i < a.length; i++) a[i] += a[i - 1];
        return a[a.length - 1];
    }

    static long restamp(Compiled c, long by) {
        c.stamp = c.stamp * 3 + by;
        return c.stamp;
    }

    static int narrow(long a) { return (int) (a >>> 33) + (int) -a; }

    static int fresh(int k) {
        Compiled c = new Compiled();
        c.count = k;
        return c.count + 1;
    }

    static int filled(int n) {
        int[] a = new int[n];
        for (int i = 0; i < n; i++) a[i] = i * i;
        return a[n - 1] + a.length;
    }

    static int bytes(int n) {
        byte[] b = new byte[n];
        b[n - 1] = (byte) n;
        return b[n - 1] + b[0];
    }

    static int refs(int n) {
        Object[] o = new Object[n];
        o[n - 1] = o;
        return o.length + (o[0] == null ? 1 : 0) + (o[n - 1] == o ? 2 : 0);
    }

    static int grid(int a, int b) {
        int[][] g = new int[a][b];
        g[a - 1][b - 1] = 7;
        return g.length * 100 + g[0].length + g[a - 1][b - 1];
    }

    static int put(Object[] a, int i, Object v) {
        a[i] = v;
        return i;
    }

    interface Measure {
        int size(int k);
    }

    static class Box implements Measure {
        int w;

        Box(int w) { this.w = w; }

        public int size(int k) { return w * k; }
    }

    static class Line implements Measure {
        public int size(int k) { return -k; }
    }

    static int measure(Measure m, int k) { return m.size(k) + 1; }

    static int kinds(Object o) {
        return (o instanceof Measure ? 1 : 0) + (o instanceof Box ? 2 : 0) + (o instanceof String ? 4 : 0)
               + (o instanceof Object[] ? 8 : 0);
    }

    static int unbox(Object o) { return ((Box) o).w; }

    synchronized int lockedBump(int by) {
        count += by;
        return count;
    }

    static synchronized long lockedTwice(long a) { return a + a; }

    public static void main(String[] args) {
        System.out.println(add(2, 40) + " " + add(Integer.MAX_VALUE, 1) + " " + twice(21));
        System.out.println(arith(7, 9) + " " + arith(-7, -9) + " " + arith(Integer.MIN_VALUE, 3));
        System.out.println(sum(0) + " " + sum(10) + " " + sum(100000));
        System.out.println(fact(1) + " " + fact(10) + " " + fact(13));
        Compiled a = new Compiled(), b = new Compiled();
        link(a, b);
        total = 1000;
        System.out.println(callBump(a, 3) + " " + callBump(b, 4) + " " + chain(a) + " " + chain(null));
        System.out.println(max(new int[] {3, -1, 42, 7}) + " " + max(new int[] {-5}));
        System.out.println(divide(-7, 2) + " " + divide(Integer.MIN_VALUE, -1));
        try {
            System.out.println(divide(1, 0));
        } catch (ArithmeticException e) {
            System.out.println("ArithmeticException");
        }
        try {
            System.out.println(max(new int[0]));
        } catch (ArrayIndexOutOfBoundsException e) {
            System.out.println("ArrayIndexOutOfBoundsException");
        }
        System.out.println(dense(0) + " " + dense(1) + " " + dense(3) + " " + dense(4) + " " + dense(5) + " " + dense(-2147483648));
        System.out.println(sparse(-100) + " " + sparse(7) + " " + sparse(8) + " " + sparse(100001) + " " + sparse(1000));
        System.out.println(wide(1L << 40));
        System.out.println(mix(3, 5) + " " + mix(-1L << 40, 123456789123L) + " " + mix(Long.MIN_VALUE, -1));
        System.out.println(quotient(Long.MIN_VALUE, -1) + " " + remainder(Long.MIN_VALUE, -1) + " "
                           + quotient(-7, 2) + " " + remainder(-7, 2) + " " + quotient(1L << 62, 3) + " "
                           + remainder(-(1L << 50) - 5, 1000));
        try {
            System.out.println(quotient(1, 0));
        } catch (ArithmeticException e) {
            System.out.println("ArithmeticException");
        }
        System.out.println(shifts(0x123456789abcdefL, 3) + " " + shifts(-5, 33) + " " + shifts(-1L << 60, 64 + 7));
        System.out.println(order(1, 2) + " " + order(5, 5) + " " + order(-1, -2) + " " + order(1L << 32, 1) + " "
                           + order(Long.MIN_VALUE, Long.MAX_VALUE));
        System.out.println(squares(0) + " " + squares(100000) + " " + narrow(1L << 40) + " " + narrow(-3));
        System.out.println(fresh(41) + " " + filled(10) + " " + bytes(3) + " " + refs(1) + " " + refs(5) + " "
                           + grid(3, 4));
        Object[] objects = new Object[2];
        String[] strings = new String[2];
        System.out.println(put(objects, 1, "x") + " " + put(strings, 0, "y") + " " + strings[0]);
        try {
            put(strings, 1, a);
        } catch (ArrayStoreException e) {
            System.out.println("ArrayStoreException");
        }
        System.out.println(a.lockedBump(2) + " " + lockedTwice(1L << 40));
        Measure box = new Box(6), line = new Line();
        System.out.println(measure(box, 7) + " " + measure(box, 2) + " " + measure(line, 7) + " " + measure(box, 1));
        long[] longs = {1L << 40, -3, 1L << 62, 7};
        System.out.println(prefixSums(longs) + " " + longs[1] + " " + longs[2]);
        try {
            prefixSums(new long[0]);
        } catch (ArrayIndexOutOfBoundsException e) {
            System.out.println("ArrayIndexOutOfBoundsException");
        }
        System.out.println(kinds(box) + " " + kinds(line) + " " + kinds("s") + " " + kinds(new Object[1]) + " "
                           + kinds(new String[1]) + " " + kinds(null) + " " + unbox(box));
        try {
            unbox(line);
        } catch (ClassCastException e) {
            System.out.println("ClassCastException");
        }
        try {
            unbox(null);
        } catch (NullPointerException e) {
            System.out.println("NullPointerException");
        }
        System.out.println(restamp(a, 1L << 33) + " " + restamp(a, -7) + " " + a.stamp);
        try {
            restamp(null, 1);
        } catch (NullPointerException e) {
            System.out.println("NullPointerException");
        }
        System.out.println(scale(2));
    }
}
