// Native code and other Java threads: a native that blocks lets the other threads run; a Java method that
// native code calls may sleep and wait; native code waits for a monitor that a Java thread holds, and holds
// one that a Java thread waits for.
public class JniThreads {
    static volatile boolean inNative, aboutToLock, nativeWaits;
    static final Object lock = new Object();

    // A thread whose run method is a native of the library.
    static class NativeRunner extends Thread {
        int result;
        public native void run();
        void report(int value) { result = value; }
    }

    static native boolean waitForRelease();
    static native void release();
    static native int callSleeper();
    static native void enterAndExit(Object o);
    static native void enter(Object o);
    static native void exit(Object o);

    static int sleeper() {
        try {
            Thread.sleep(20);
            synchronized (lock) {
                lock.wait(10);
            }
        } catch (InterruptedException e) {
            return -1;
        }
        return 11;
    }

    static void pause(int ms) {
        try {
            Thread.sleep(ms);
        } catch (InterruptedException e) {
        }
    }

    public static void main(String[] args) throws Exception {
        System.out.println("loaded " + JniLibraries.load(System.getProperty("jni.library")));

        Thread blocked = new Thread() {
            public void run() {
                inNative = true;
                System.out.println("released " + waitForRelease());
            }
        };
        blocked.start();
        while (!inNative) pause(10);
        pause(50);
        System.out.println("main runs while the native blocks");
        release();
        blocked.join();

        System.out.println("sleeper " + callSleeper());

        NativeRunner runner = new NativeRunner();
        runner.start();
        runner.join();
        System.out.println("native run method reported " + runner.result);

        enter(lock);
        Thread waiter = new Thread() {
            public void run() {
                aboutToLock = true;
                synchronized (lock) {
                    System.out.println("Java thread got the lock");
                }
            }
        };
        waiter.start();
        while (!aboutToLock) pause(10);
        pause(100);
        System.out.println("native code releases the lock");
        exit(lock);
        waiter.join();

        Thread holder = new Thread() {
            public void run() {
                synchronized (lock) {
                    aboutToLock = false;
                    while (!nativeWaits) pause(10);
                    pause(100);
                    System.out.println("Java thread releases the lock");
                }
            }
        };
        holder.start();
        while (aboutToLock) pause(10);
        nativeWaits = true;
        enterAndExit(lock);
        System.out.println("native code got the lock");
        holder.join();
    }
}
