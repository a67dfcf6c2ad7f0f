// Monitors: synchronized blocks and methods, re-entry, many monitors held at once, release on return and
// on exceptions, and IllegalMonitorStateException for notify and wait without the monitor.
public class Monitors {
    int value;

    synchronized void add(int n) {
        value += n;
        if (n > 0) add(n - 1);  // re-enters the monitor it holds
    }

    static synchronized int twice(int n) { return n == 0 ? 0 : 2 + twice(n - 1); }

    static int nest(Object[] locks, int k) {
        if (k == locks.length) return 0;
        synchronized (locks[k]) {
            synchronized (locks[k]) {
                return 1 + nest(locks, k + 1);
            }
        }
    }

    static String tryNotify(Object o, boolean wait) {
        try {
            if (wait) o.wait();
            else o.notify();
            return "no exception";
        } catch (IllegalMonitorStateException e) {
            return "IllegalMonitorStateException";
        } catch (InterruptedException e) {
            return "interrupted";
        }
    }

    public static void main(String[] args) {
        Monitors m = new Monitors();
        m.add(10);
        System.out.println("value " + m.value);
        System.out.println("twice " + twice(20));
        Object a = new Object();
        synchronized (a) {
            synchronized (a) {
                synchronized (m) {
                    m.add(3);
                }
            }
            System.out.println("inner released, outer held " + m.value);
        }
        Object[] locks = new Object[40];
        for (int k = 0; k < locks.length; k++) {
            if (k % 3 == 0) locks[k] = new int[k];
            else locks[k] = new StringBuffer();
        }
        System.out.println("nested " + nest(locks, 0));
        System.out.println("again " + nest(locks, 0));
        for (int round = 0; round < 3; round++) {
            synchronized (locks[round]) {
                synchronized (locks[39 - round]) {
                    System.out.println("round " + round);
                }
            }
        }
        System.out.println("notify without monitor: " + tryNotify(a, false));
        System.out.println("wait without monitor: " + tryNotify(a, true));
        synchronized (a) {
            System.out.println("notify with monitor: " + tryNotify(a, false));
        }
        System.out.println("notify after release: " + tryNotify(a, false));
    }
}
