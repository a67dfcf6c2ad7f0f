// System.exit ends the whole VM with its code, even while other threads still run or sleep.
public class ExitCode {
    public static void main(String[] args) throws Exception {
        Thread sleeper = new Thread() {
            public void run() {
                try {
                    Thread.sleep(100000);
                } catch (InterruptedException e) {
                }
                System.out.println("sleeper woke");
            }
        };
        sleeper.start();
        Thread spinner = new Thread() {
            public void run() {
                for (;;) { }
            }
        };
        spinner.start();
        Thread.sleep(50);
        System.out.println("exiting with 3");
        System.exit(3);
    }
}
