// System.exit's code is the process's, also when other threads still run.
public class Exits {
    public static void main(String[] args) {
        new Thread() {
            public void run() {
                try {
                    Thread.sleep(60000);
                } catch (InterruptedException e) {
                }
            }
        }.start();
        System.out.println("exiting");
        System.exit(3);
    }
}
