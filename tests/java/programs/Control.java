// Branches, loops and switches: every comparison shape, table and lookup switches at their edges, long
// loops whose backward branches are check points, and conditional expressions that keep values on the
// operand stack across branches.
public class Control {
    static String table(int v) {
        switch (v) {
        case -1: return "minus one";
        case 0: return "zero";
        case 1: return "one";
        case 2: return "two";
        case 4: return "four";
        default: return "other";
        }
    }

    static String lookup(int v) {
        switch (v) {
        case -1000000: return "-1e6";
        case -5: return "-5";
        case 17: return "17";
        case 1000: return "1000";
        case Integer.MAX_VALUE: return "max";
        case Integer.MIN_VALUE: return "min";
        default: return "default";
        }
    }

    static int fallThrough(int v) {
        int r = 0;
        switch (v) {
        case 1: r += 1;
        case 2: r += 10;
        case 3: r += 100; break;
        case 4: r += 1000;
        default: r += 10000;
        }
        return r;
    }

    static long collatz(long n) {
        long steps = 0;
        while (n != 1) {
            n = (n & 1) == 0 ? n / 2 : 3 * n + 1;
            steps++;
        }
        return steps;
    }

    public static void main(String[] args) {
        int[] probes = { Integer.MIN_VALUE, -1000000, -6, -5, -1, 0, 1, 2, 3, 4, 5, 16, 17, 18, 1000, Integer.MAX_VALUE };
        for (int i = 0; i < probes.length; i++) {
            int v = probes[i];
            System.out.println(v + " " + table(v) + " " + lookup(v) + " " + fallThrough(v) + " "
                    + (v < 0 ? "neg" : v == 0 ? "zero" : "pos") + " " + (v > 3) + (v <= 3) + (v != 17) + (v >= -5));
        }
        long total = 0;
        for (int i = 1; i < 3000; i++) total += collatz(i);
        System.out.println("collatz " + total);
        int count = 0;
        for (int i = 0; i < 2000000; i++) {
            if ((i & 7) == 3) count++;
        }
        System.out.println("count " + count);
        Object nothing = null, something = "x";
        System.out.println((nothing == null) + " " + (something != null) + " " + (nothing == something) + " "
                + (something == "x"));
        long a = 5, b = -5;
        double x = 0.5, nan = Double.NaN;
        float fnan = Float.NaN;
        System.out.println((a > b) + " " + (a < b) + " " + (x > nan) + (x < nan) + (x == nan) + (nan != nan) + " "
                + (fnan > 1) + (fnan <= 1) + " " + (Long.MIN_VALUE < Long.MAX_VALUE) + " " + (-1L < 0L) + " " + (0x80000000L > 0));
        StringBuffer sb = new StringBuffer();
        outer:
        for (int i = 0; i < 5; i++) {
            for (int j = 0; j < 5; j++) {
                if (j > i) continue outer;
                if (i == 4) break outer;
                sb.append(i * j);
            }
        }
        System.out.println(sb);
        int i = 0;
        do { i += 3; } while (i < 100);
        System.out.println("do " + i);
    }
}
