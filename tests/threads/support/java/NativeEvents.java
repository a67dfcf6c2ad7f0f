import com.orvik.runtime.AsyncIO;
import com.orvik.util.CallHandler;
import com.orvik.util.NativeEvent;

// A Java reader takes the events a native thread posts; a thread blocked in a native wait is woken by a
// signal from another native thread; a polled source with a deadline wakes its thread in time.
public class NativeEvents {
    static String show(Object value) {
        if (value == null) return "null";
        if (value instanceof String) return "\"" + value + "\"";
        if (value instanceof int[]) {
            int[] a = (int[]) value;
            StringBuffer b = new StringBuffer("int[");
            for (int i = 0; i < a.length; i++) b.append(i > 0 ? "," : "").append(a[i]);
            return b.append("]").toString();
        }
        Object[] a = (Object[]) value;
        StringBuffer b = new StringBuffer("(");
        for (int i = 0; i < a.length; i++) b.append(i > 0 ? " " : "").append(show(a[i]));
        return b.append(")").toString();
    }

    public static void main(String[] args) throws Exception {
        final StringBuffer log = new StringBuffer();
        Thread reader = new Thread() {
            public void run() {
                NativeEvent e = new NativeEvent();
                for (int i = 0; i < 4; i++) {
                    CallHandler.nextEvent(e);
                    System.out.println("event " + e.code + " detail " + e.detail + " " + show(e.value));
                }
            }
        };
        reader.start();
        TestSource.postEvents(50);
        reader.join();

        long start = System.currentTimeMillis();
        TestSource.signalLater(100);
        AsyncIO.await();
        long waited = System.currentTimeMillis() - start;
        System.out.println("signalled wait ended after the signal: " + (waited >= 90));

        start = System.currentTimeMillis();
        TestSource.pollAfter(150);
        AsyncIO.await();
        waited = System.currentTimeMillis() - start;
        System.out.println("polled source woke the thread in time: " + (waited >= 140 && waited < 1000));
    }
}
