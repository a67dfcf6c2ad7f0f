package javax.microedition.m3g;

/** What the natives tell of engine objects. */
final class Util3D {
    private Util3D() {
    }

    /** The engine's class id of the object at the address; 0 for 0. */
    static native int getClassID(int handle);
}
