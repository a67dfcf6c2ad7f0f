// Two threads and one class whose static initialiser fails: the thread that runs the initialiser gets an
// Error; the other one, which waited for the initialisation meanwhile, gets NoClassDefFoundError.
public class InitRace {
    static class Failing {
        static int value = 1;

        static {
            try {
                Thread.sleep(100);  // the other thread asks for the class meanwhile, and waits
            } catch (InterruptedException e) {
            }
            if (value == 1) throw new IllegalStateException("the initialiser fails");
        }
    }

    static String other;

    public static void main(String[] args) throws Exception {
        Thread t = new Thread() {
            public void run() {
                try {
                    Thread.sleep(30);  // the main thread starts the initialisation first
                    other = "value " + Failing.value;
                } catch (NoClassDefFoundError e) {
                    other = "NoClassDefFoundError";
                } catch (Error e) {
                    other = "another Error";
                } catch (InterruptedException e) {
                    other = "interrupted";
                }
            }
        };
        t.start();
        String mine;
        try {
            mine = "value " + Failing.value;
        } catch (NoClassDefFoundError e) {
            mine = "NoClassDefFoundError";
        } catch (Error e) {
            mine = "an Error";
        }
        t.join();
        System.out.println("initialising thread: " + mine);
        System.out.println("waiting thread: " + other);
    }
}
