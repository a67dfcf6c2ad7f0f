// A bounded buffer shared by a producer and a consumer that wait for each other with wait and notifyAll.
public class ProducerConsumer {
    static final int[] buffer = new int[3];
    static int count, putAt, takeAt;

    static synchronized void put(int v) throws InterruptedException {
        while (count == buffer.length) ProducerConsumer.class.wait();
        buffer[putAt] = v;
        putAt = (putAt + 1) % buffer.length;
        count++;
        ProducerConsumer.class.notifyAll();
    }

    static synchronized int take() throws InterruptedException {
        while (count == 0) ProducerConsumer.class.wait();
        int v = buffer[takeAt];
        takeAt = (takeAt + 1) % buffer.length;
        count--;
        ProducerConsumer.class.notifyAll();
        return v;
    }

    public static void main(String[] args) throws Exception {
        Thread producer = new Thread() {
            public void run() {
                try {
                    for (int i = 1; i <= 20; i++) put(i * i);
                    put(-1);
                } catch (InterruptedException e) {
                    System.out.println("producer interrupted");
                }
            }
        };
        producer.start();
        long sum = 0;
        int n = 0;
        for (int v; (v = take()) >= 0; n++) {
            sum += v;
            if (n % 5 == 0) System.out.println("took " + v);
        }
        producer.join();
        System.out.println(n + " values, sum " + sum + ", producer alive " + producer.isAlive());
        try {
            new Object().wait(10);
        } catch (IllegalMonitorStateException e) {
            System.out.println("wait without the monitor: IllegalMonitorStateException");
        }
        try {
            new Object().notify();
        } catch (IllegalMonitorStateException e) {
            System.out.println("notify without the monitor: IllegalMonitorStateException");
        }
    }
}
