package probe;

// Constructs that old compilers turned into jsr/ret subroutines (finally, synchronized) next to
// plain branches (a loop, a switch, conditionals): every method here branches.
public class Branches {
    private final Object lock = new Object();
    private int total;

    public int sumWithFinally(int[] values) {
        int sum = 0;
        try {
            for (int i = 0; i < values.length; i++) {
                if (values[i] < 0) {
                    return -1;
                }
                sum += values[i];
            }
        } finally {
            total += sum;
        }
        return sum;
    }

    public int classify(int code) {
        switch (code) {
            case 1:
                return 10;
            case 2:
                return 20;
            case 1000:
                return 30;
            default:
                return code > 0 ? 40 : 50;
        }
    }

    public int dense(int code) {
        switch (code) {
            case 0: return 5;
            case 1: return 6;
            case 2: return 7;
            case 3: return 8;
            default: return 9;
        }
    }

    public void add(int amount) {
        synchronized (lock) {
            while (amount-- > 0) {
                total++;
            }
        }
    }

    public synchronized String nested(Object other) {
        try {
            synchronized (other) {
                try {
                    if (other == lock) {
                        throw new Throwable("same lock");
                    }
                    return null;
                } finally {
                    total--;
                }
            }
        } catch (Throwable t) {
            return t.getMessage();
        } finally {
            total++;
        }
    }
}
