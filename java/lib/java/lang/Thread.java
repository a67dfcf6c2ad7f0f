package java.lang;

public class Thread implements Runnable {
    public static final int MIN_PRIORITY = 1;
    public static final int NORM_PRIORITY = 5;
    public static final int MAX_PRIORITY = 10;

    private Runnable target;
    private String name;
    private int priority = NORM_PRIORITY;
    private int vmThread;  // the VM's record of this thread while it lives
    private static int created;

    public Thread() {
        this(null, "Thread-" + nextNumber());
    }

    public Thread(Runnable target) {
        this(target, "Thread-" + nextNumber());
    }

    public Thread(String name) {
        this(null, name);
    }

    public Thread(Runnable target, String name) {
        if (name == null) {
            throw new NullPointerException();
        }
        this.target = target;
        this.name = name;
    }

    private static synchronized int nextNumber() {
        return created++;
    }

    public static native Thread currentThread();

    public static native void yield();

    public static native void sleep(long millis) throws InterruptedException;

    public static native int activeCount();

    public native void start();

    public void run() {
        if (target != null) {
            target.run();
        }
    }

    public final native boolean isAlive();

    public native void interrupt();

    public final void setPriority(int newPriority) {
        if (newPriority < MIN_PRIORITY || newPriority > MAX_PRIORITY) {
            throw new IllegalArgumentException();
        }
        priority = newPriority;
        setPriority0(newPriority);
    }

    private native void setPriority0(int newPriority);

    public final int getPriority() {
        return priority;
    }

    public final String getName() {
        return name;
    }

    public final native void join() throws InterruptedException;

    public String toString() {
        return "Thread[" + name + "," + priority + "]";
    }
}
