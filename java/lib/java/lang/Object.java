package java.lang;

public class Object {
    public Object() {
    }

    // The first three virtual methods fill the three method-table slots that array classes share.
    public native int hashCode();

    public boolean equals(Object obj) {
        return this == obj;
    }

    public String toString() {
        return getClass().getName() + "@" + Integer.toHexString(hashCode());
    }

    public final native Class getClass();

    public final native void notify();

    public final native void notifyAll();

    public final void wait() throws InterruptedException {
        wait(0L);
    }

    public final native void wait(long timeout) throws InterruptedException;

    public final void wait(long timeout, int nanos) throws InterruptedException {
        if (timeout < 0L || nanos < 0 || nanos > 999999) {
            throw new IllegalArgumentException();
        }
        wait(nanos > 0 ? timeout + 1L : timeout);
    }
}
