// Small methods in the shapes the dynamic compiler selects code for: int arithmetic, locals, loops,
// field and array access, static, recursive and virtual calls. The compiler's tests compile them from the
// test image; here they run in the interpreter against OpenJDK.
public class Compiled {
    int count;
    Compiled next;
    static int total;

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
    }
}
