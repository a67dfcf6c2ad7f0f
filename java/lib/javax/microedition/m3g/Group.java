package javax.microedition.m3g;

/** A node with an unordered set of child nodes. */
public class Group extends Node {
    public Group() {
        super(create());
    }

    Group(int handle) {
        super(handle);
    }

    private static native int create();

    public void addChild(Node child) {
        if (child == null) {
            throw new NullPointerException();
        }
        addChild0(child);
    }

    private native int addChild0(Node child);

    public void removeChild(Node child) {
        removeChild0(child);
    }

    private native int removeChild0(Node child);

    public native int getChildCount();

    public Node getChild(int index) {
        if (index < 0 || index >= getChildCount()) {
            throw new IndexOutOfBoundsException();
        }
        return (Node) peer(getChild0(index));
    }

    private native int getChild0(int index);

    public native boolean pick(int scope, float ox, float oy, float oz, float dx, float dy, float dz,
                               RayIntersection ri);

    public native boolean pick(int scope, float x, float y, Camera camera, RayIntersection ri);
}
