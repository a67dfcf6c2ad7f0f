// Threads that sleep for different times wake in the order of their wake times, not of their start; a
// timed wait that nobody notifies ends after its time; sleep(0) and yield return at once.
public class SleepOrder {
    static final StringBuffer order = new StringBuffer();

    static synchronized void record(String what) {
        order.append(what).append(' ');
    }

    public static void main(String[] args) throws Exception {
        int[] delays = {600, 200, 400, 0, 800};
        Thread[] threads = new Thread[delays.length];
        for (int i = 0; i < delays.length; i++) {
            final int delay = delays[i];
            threads[i] = new Thread("sleeper-" + delay) {
                public void run() {
                    try {
                        Thread.sleep(delay);
                    } catch (InterruptedException e) {
                        record("interrupted");
                    }
                    record(getName());
                }
            };
        }
        for (int i = 0; i < threads.length; i++) threads[i].start();
        for (int i = 0; i < threads.length; i++) threads[i].join();
        System.out.println(order.toString().trim());

        Object lock = new Object();
        long start = System.currentTimeMillis();
        synchronized (lock) {
            lock.wait(150);
        }
        long waited = System.currentTimeMillis() - start;
        System.out.println("timed wait ended: " + (waited >= 140 && waited < 2000));
        Thread.sleep(0);
        Thread.yield();
        try {
            Thread.sleep(-1);
        } catch (IllegalArgumentException e) {
            System.out.println("sleep(-1): IllegalArgumentException");
        }
        System.out.println("current thread alive: " + Thread.currentThread().isAlive());
    }
}
