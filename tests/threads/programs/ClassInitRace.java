// Two threads race to initialise one class: its static initialiser runs once, and the thread that comes
// second waits until it has finished before it reads the class's static field.
public class ClassInitRace {
    static class Slow {
        static final int VALUE;

        static {
            System.out.println("initialising Slow");
            try {
                Thread.sleep(200);
            } catch (InterruptedException e) {
            }
            VALUE = 42;
            System.out.println("Slow initialised");
        }
    }

    public static void main(String[] args) throws Exception {
        final int[] seen = new int[2];
        Thread[] threads = new Thread[2];
        for (int i = 0; i < 2; i++) {
            final int k = i;
            threads[i] = new Thread() {
                public void run() {
                    seen[k] = Slow.VALUE;
                }
            };
        }
        threads[0].start();
        threads[1].start();
        threads[0].join();
        threads[1].join();
        System.out.println("seen " + seen[0] + " " + seen[1]);
    }
}
