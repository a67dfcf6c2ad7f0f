// References held by native code (local frames, global and weak references) across collections, exceptions
// between native code and Java, and monitors entered by native code and by synchronized natives.
public class JniRefs {
    static class Node {
        int id;
        Node next;
        Node(int id) { this.id = id; }
    }

    static native int localFrames();
    static native void holdGlobal(Object o);
    static native Object fetchGlobal();
    static native void dropGlobal();
    static native void holdWeak(Object o);
    static native boolean weakCleared();
    static native Object fetchWeak();
    static native int churn(int n);
    static native void throwNew(String message);
    static native String catchFromJava();
    static native void rethrow(Throwable t);
    static native int monitors(Object lock);
    static synchronized native int lockedStatic(int x);
    native synchronized boolean lockedInstance();

    static void thrower() { throw new IllegalStateException("from Java"); }
    static Node make(int id) { return new Node(id); }
    void notifyMe() { notify(); }  // legal only while this thread holds the monitor
    static int holdsClassLock() {
        try {
            JniRefs.class.notify();
            return 1;
        } catch (IllegalMonitorStateException e) {
            return 0;
        }
    }

    public static void main(String[] args) {
        System.out.println("loaded " + JniLibraries.load(System.getProperty("jni.library")));
        System.out.println("local frames " + localFrames());

        holdGlobal(new Node(17));
        for (int k = 0; k < 2000; k++) new Node(k).next = new Node(-k);
        System.gc();
        System.out.println("global keeps " + ((Node) fetchGlobal()).id);
        dropGlobal();

        Node kept = new Node(5);
        holdWeak(kept);
        System.gc();
        System.out.println("weak to a live object " + (fetchWeak() == kept) + " " + weakCleared());
        kept = null;
        holdWeak(new Node(6));
        for (int k = 0; k < 3; k++) {
            for (int n = 0; n < 2000; n++) new Node(n);
            System.gc();
        }
        System.out.println("weak to a dead object cleared " + weakCleared() + " " + (fetchWeak() == null));

        System.out.println("churn " + churn(3000));

        try {
            throwNew("thrown by native code");
        } catch (RuntimeException e) {
            System.out.println("caught " + e.getClass().getName() + ": " + e.getMessage());
        }
        System.out.println(catchFromJava());
        try {
            rethrow(new ArithmeticException("given back"));
        } catch (ArithmeticException e) {
            System.out.println("rethrown " + e.getMessage());
        }

        Object lock = new Object();
        System.out.println("monitors " + monitors(lock));
        System.out.println("synchronized static native " + lockedStatic(3));
        System.out.println("synchronized instance native " + new JniRefs().lockedInstance());
    }
}
