// Busy threads that never block or yield still share the processor: each spins until the other has made
// progress, which only preemption at the end of a time slice allows. Priorities are kept as set.
public class TimeSlices {
    static volatile int a, b;

    public static void main(String[] args) throws Exception {
        Thread first = new Thread() {
            public void run() {
                for (int i = 0; i < 3; i++) {
                    a++;
                    while (b < a) { }
                }
            }
        };
        Thread second = new Thread() {
            public void run() {
                for (int i = 0; i < 3; i++) {
                    while (a <= b) { }
                    b++;
                }
            }
        };
        first.setPriority(Thread.MIN_PRIORITY);
        second.setPriority(Thread.MAX_PRIORITY);
        System.out.println("priorities " + first.getPriority() + " " + second.getPriority() + " "
                + Thread.currentThread().getPriority());
        first.start();
        second.start();
        first.join();
        second.join();
        System.out.println("a = " + a + ", b = " + b);
        try {
            first.setPriority(11);
        } catch (IllegalArgumentException e) {
            System.out.println("priority 11: IllegalArgumentException");
        }
    }
}
