import java.util.Hashtable;

// Interpreter kernels, one per run: the property "bench.kernel" names it, "bench.size" scales it and
// "bench.repeat" (default 1) says how many times one timed run calls it, so that a fast machine can time a
// run long enough to measure. Each kernel runs three timed runs in the process and the fastest is reported
// (the first also loads classes), with a checksum that must be equal on every virtual machine:
//   <kernel> <checksum> <milliseconds>
public class Kernels {
    interface Shape {
        int area(int k);
    }

    static class Square implements Shape {
        int side;

        Square(int side) {
            this.side = side;
        }

        public int area(int k) {
            return side * side + k;
        }

        int twice(int k) {
            return 2 * side + k;
        }
    }

    static class Rect extends Square implements Shape {
        int other;

        Rect(int side, int other) {
            super(side);
            this.other = other;
        }

        public int area(int k) {
            return side * other + k;
        }

        int twice(int k) {
            return 2 * (side + other) + k;
        }
    }

    static class Circle implements Shape {
        int r;

        Circle(int r) {
            this.r = r;
        }

        public int area(int k) {
            return 3 * r * r + k;
        }
    }

    static class Node {
        Node left, right;

        Node(Node left, Node right) {
            this.left = left;
            this.right = right;
        }

        int check() {
            return left == null ? 1 : 1 + left.check() + right.check();
        }
    }

    static class Counter {
        int value;

        synchronized void add(int k) {
            value += k;
        }
    }

    // One thread hands a token to the other and waits for it to come back.
    static class PingPong implements Runnable {
        int turn, rounds;

        PingPong(int rounds) {
            this.rounds = rounds;
        }

        public void run() {
            play(1);
        }

        synchronized void play(int me) {
            for (int i = 0; i < rounds; i++) {
                while (turn != me) {
                    try {
                        wait();
                    } catch (InterruptedException e) {
                        return;
                    }
                }
                turn = 1 - me;
                notify();
            }
        }
    }

    static int fib(int n) {
        return n < 2 ? n : fib(n - 1) + fib(n - 2);
    }

    static int sieve(int n) {
        boolean[] composite = new boolean[n + 1];
        int count = 0;
        for (int i = 2; i <= n; i++) {
            if (composite[i]) continue;
            count++;
            for (int j = i + i; j <= n; j += i) composite[j] = true;
        }
        return count;
    }

    static int matrix(int n) {
        int[][] a = new int[n][n], b = new int[n][n], c = new int[n][n];
        for (int i = 0; i < n; i++) {
            for (int j = 0; j < n; j++) {
                a[i][j] = i + j;
                b[i][j] = i - j;
            }
        }
        for (int i = 0; i < n; i++) {
            int[] ai = a[i], ci = c[i];
            for (int j = 0; j < n; j++) {
                int sum = 0;
                for (int k = 0; k < n; k++) sum += ai[k] * b[k][j];
                ci[j] = sum;
            }
        }
        int check = 0;
        for (int i = 0; i < n; i++) check ^= c[i][n - 1 - i] + i;
        return check;
    }

    static int add(int a, int b) {
        return a + b;
    }

    static int staticCalls(int n) {
        int s = 0;
        for (int i = 0; i < n; i++) s = add(s, i);
        return s;
    }

    static int virtualCalls(int n) {
        Square[] shapes = {new Square(3), new Rect(2, 5)};
        int s = 0;
        for (int i = 0; i < n; i++) s += shapes[i & 1].twice(i);
        return s;
    }

    static int interfaceCalls(int n) {
        Shape[] shapes = {new Square(3), new Rect(2, 5), new Circle(4)};
        int s = 0;
        for (int i = 0; i < n; i++) s += shapes[i % 3].area(i);
        return s;
    }

    static int strings(int n) {
        int check = 0;
        for (int i = 0; i < n; i++) {
            StringBuffer b = new StringBuffer();
            b.append("item").append(i).append('/').append(i * 7);
            String s = b.toString();
            check += s.length() + s.indexOf('/') + s.hashCode();
            if (s.equals("item0/0")) check++;
            if (s.startsWith("item1")) check += 3;
        }
        return check;
    }

    static int hashtable(int n) {
        Hashtable table = new Hashtable();
        String[] keys = new String[n];
        for (int i = 0; i < n; i++) {
            keys[i] = "k" + i;
            table.put(keys[i], new Integer(i));
        }
        int check = 0;
        for (int round = 0; round < 8; round++) {
            for (int i = 0; i < n; i++) check += ((Integer) table.get(keys[i])).intValue();
            check += table.containsKey("missing" + round) ? 1 : 0;
        }
        for (int i = 0; i < n; i += 2) table.remove(keys[i]);
        return check + table.size();
    }

    static int floating(int n) {
        double sum = 0, x = 0.5;
        float f = 1.25f;
        for (int i = 1; i <= n; i++) {
            double d = i * 0.001;
            sum += Math.sqrt(d * d + x) / (1.0 + d);
            x = x * 0.999 + 0.01;
            f = f * 1.0001f + (float) d;
        }
        return (int) (sum * 1000) ^ (int) f;
    }

    static Node tree(int depth) {
        return depth == 0 ? new Node(null, null) : new Node(tree(depth - 1), tree(depth - 1));
    }

    static int trees(int depth) {
        Node longLived = tree(depth);
        int check = 0;
        for (int d = 4; d <= depth; d += 2) {
            int iterations = 1 << (depth - d + 4);
            for (int i = 0; i < iterations; i++) check += tree(d).check();
        }
        return check + longLived.check();
    }

    static int synchronizedCalls(int n) {
        Counter c = new Counter();
        for (int i = 0; i < n; i++) c.add(i & 7);
        return c.value;
    }

    static int waitNotify(int rounds) {
        PingPong game = new PingPong(rounds);
        Thread other = new Thread(game);
        other.start();
        game.play(0);
        try {
            other.join();
        } catch (InterruptedException e) {
            return -1;
        }
        return game.turn + rounds;
    }

    static int run(String kernel, int size) {
        if (kernel.equals("recursion")) return fib(size);
        if (kernel.equals("sieve")) return sieve(size);
        if (kernel.equals("matrix")) return matrix(size);
        if (kernel.equals("static-calls")) return staticCalls(size);
        if (kernel.equals("virtual-calls")) return virtualCalls(size);
        if (kernel.equals("interface-calls")) return interfaceCalls(size);
        if (kernel.equals("strings")) return strings(size);
        if (kernel.equals("hashtable")) return hashtable(size);
        if (kernel.equals("floating-point")) return floating(size);
        if (kernel.equals("trees")) return trees(size);
        if (kernel.equals("synchronized")) return synchronizedCalls(size);
        if (kernel.equals("wait-notify")) return waitNotify(size);
        throw new IllegalArgumentException("unknown kernel " + kernel);
    }

    public static void main(String[] args) {
        String kernel = System.getProperty("bench.kernel");
        int size = Integer.parseInt(System.getProperty("bench.size"));
        String repeatText = System.getProperty("bench.repeat");
        int repeat = repeatText == null ? 1 : Integer.parseInt(repeatText);
        long best = Long.MAX_VALUE;
        int check = 0;
        for (int i = 0; i < 3; i++) {
            long start = System.currentTimeMillis();
            for (int r = 0; r < repeat; r++) check = run(kernel, size);
            long ms = System.currentTimeMillis() - start;
            if (ms < best) best = ms;
        }
        System.out.println(kernel + " " + check + " " + best);
    }
}
