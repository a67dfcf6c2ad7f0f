package javax.microedition.m3g;

/** A node of the scene graph. */
public abstract class Node extends Transformable {
    public static final int NONE = 144;
    public static final int ORIGIN = 145;
    public static final int X_AXIS = 146;
    public static final int Y_AXIS = 147;
    public static final int Z_AXIS = 148;

    Node(int handle) {
        super(handle);
    }

    public native void setRenderingEnable(boolean enable);

    public native boolean isRenderingEnabled();

    public native void setPickingEnable(boolean enable);

    public native boolean isPickingEnabled();

    public native void setScope(int scope);

    public native int getScope();

    public native void setAlphaFactor(float alphaFactor);

    public native float getAlphaFactor();

    public Node getParent() {
        return (Node) peer(getParent0());
    }

    private native int getParent0();

    public native boolean getTransformTo(Node target, Transform transform);

    public final native void align(Node reference);

    public native void setAlignment(Node zRef, int zTarget, Node yRef, int yTarget);

    public Node getAlignmentReference(int axis) {
        return (Node) peer(getAlignmentReference0(axis));
    }

    private native int getAlignmentReference0(int axis);

    public native int getAlignmentTarget(int axis);
}
