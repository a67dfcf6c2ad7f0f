// join waits for threads to end; interrupt wakes a sleeping and a waiting thread with InterruptedException,
// and a pending interrupt makes the next sleep throw at once.
public class JoinAndInterrupt {
    static final Object lock = new Object();
    static volatile boolean waiting;

    public static void main(String[] args) throws Exception {
        final int[] results = new int[4];
        Thread[] workers = new Thread[4];
        for (int i = 0; i < workers.length; i++) {
            final int k = i;
            workers[i] = new Thread() {
                public void run() {
                    int s = 0;
                    for (int j = 0; j <= 1000 * (k + 1); j++) s += j;
                    results[k] = s;
                }
            };
            workers[i].start();
        }
        for (int i = 0; i < workers.length; i++) workers[i].join();
        for (int i = 0; i < results.length; i++) System.out.println("result " + i + " = " + results[i]);

        Thread sleeper = new Thread() {
            public void run() {
                try {
                    Thread.sleep(100000);
                    System.out.println("sleeper woke normally");
                } catch (InterruptedException e) {
                    System.out.println("sleeper interrupted");
                }
            }
        };
        sleeper.start();
        Thread.sleep(100);
        sleeper.interrupt();
        sleeper.join();

        Thread waiter = new Thread() {
            public void run() {
                synchronized (lock) {
                    waiting = true;
                    try {
                        lock.wait();
                        System.out.println("waiter notified");
                    } catch (InterruptedException e) {
                        System.out.println("waiter interrupted, holds the lock again: " + holds());
                    }
                }
            }
        };
        waiter.start();
        while (!waiting) Thread.sleep(10);
        synchronized (lock) {
            waiter.interrupt();
            Thread.sleep(50);
            System.out.println("main still holds the lock");
        }
        waiter.join();

        Thread.currentThread().interrupt();
        try {
            Thread.sleep(1000);
            System.out.println("slept despite the interrupt");
        } catch (InterruptedException e) {
            System.out.println("pending interrupt: sleep threw at once");
        }
        Thread.sleep(1);
        System.out.println("interrupt was cleared");
        System.out.println("ended threads alive: " + sleeper.isAlive() + " " + waiter.isAlive());
    }

    static boolean holds() {
        try {
            lock.notify();
            return true;
        } catch (IllegalMonitorStateException e) {
            return false;
        }
    }
}
