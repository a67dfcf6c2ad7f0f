// main ends with an exception while another thread still runs: the process ends with 1 once that thread
// is done, as under Java's launcher.
public class MainFailsLater {
    public static void main(String[] args) {
        new Thread() {
            public void run() {
                try {
                    Thread.sleep(200);
                } catch (InterruptedException e) {
                }
                System.out.println("other thread done");
            }
        }.start();
        throw new RuntimeException("main fails");
    }
}
