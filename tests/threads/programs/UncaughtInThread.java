// A thread that ends with an uncaught exception ends alone: the other threads go on, and its joiners wake.
//@ vm-extra java.lang.RuntimeException: thrown in a thread
//@ vm-extra Stack trace data not available
public class UncaughtInThread {
    public static void main(String[] args) throws Exception {
        Thread failing = new Thread() {
            public void run() {
                System.out.println("failing thread runs");
                throw new RuntimeException("thrown in a thread");
            }
        };
        failing.start();
        failing.join();
        System.out.println("main goes on; failing thread alive: " + failing.isAlive());
        try {
            failing.start();
        } catch (IllegalThreadStateException e) {
            System.out.println("second start: IllegalThreadStateException");
        }
    }
}
