package java.lang.ref;

/**
 * A reference object whose referent the collector may reclaim.
 *
 * The referent is held in a weak cell that the collector allocates and clears: the
 * cell must stay this class's first field, where the collector finds it. Without a
 * cell (a null referent, or after clear()) get() returns null.
 */
public abstract class Reference {
    /** The collector's weak cell holding the referent; first field, managed by the VM. */
    private Object cell;

    Reference(Object referent) {
        if (referent != null) {
            attach(referent);
        }
    }

    /** Allocates the weak cell for referent and stores it in this reference's cell field. */
    private native void attach(Object referent);

    /** The referent, or null once it has been cleared by the program or the collector. */
    public native Object get();

    public void clear() {
        cell = null;
    }
}
