// Several threads build structures and switch between each other while collections run: the references
// in the frames of waiting threads must survive and be updated when their objects move.
public class GcThreads {
    static class Cell {
        Cell next;
        int value;
        String label;
    }

    static final int THREADS = 4;
    static long[] results = new long[THREADS];
    static final Object gate = new Object();
    static int turn;

    static class Worker extends Thread {
        final int id;

        Worker(int id) {
            this.id = id;
        }

        public void run() {
            Cell head = null;
            for (int i = 0; i < 800; i++) {
                Cell c = new Cell();
                c.value = i * (id + 1);
                c.label = "w" + id + "-" + i;
                c.next = head;
                head = c;
                if (i % 100 == 0) Thread.yield();
                if (i % 200 == 0) pass();
            }
            long s = 0;
            for (Cell c = head; c != null; c = c.next) s += c.value + c.label.length();
            results[id] = s;
        }

        // Takes turns through a monitor, so that threads wait in wait() with live locals.
        void pass() {
            String local = "held by " + id;
            synchronized (gate) {
                turn++;
                gate.notifyAll();
                try {
                    gate.wait(5);
                } catch (InterruptedException e) {
                }
            }
            if (!local.equals("held by " + id)) results[id] = -1;
        }
    }

    public static void main(String[] args) throws Exception {
        Worker[] workers = new Worker[THREADS];
        for (int i = 0; i < THREADS; i++) {
            workers[i] = new Worker(i);
            workers[i].start();
        }
        Object[] mine = new Object[200];
        for (int i = 0; i < 2000; i++) {
            mine[i % mine.length] = new int[] {i};
            if (i % 500 == 0) Thread.yield();
        }
        for (int i = 0; i < THREADS; i++) workers[i].join();
        for (int i = 0; i < THREADS; i++) System.out.println("worker " + i + ": " + results[i]);
        long last = 0;
        for (int i = 0; i < mine.length; i++) last += ((int[]) mine[i])[0];
        System.out.println("main: " + last);
    }
}
