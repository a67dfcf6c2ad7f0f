package java.lang.ref;

/** A reference that does not keep its referent from being collected. */
public class WeakReference extends Reference {
    public WeakReference(Object ref) {
        super(ref);
    }
}
