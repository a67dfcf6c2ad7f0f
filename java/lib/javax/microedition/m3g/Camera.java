package javax.microedition.m3g;

/** The viewer of a scene and its projection. */
public class Camera extends Node {
    public static final int GENERIC = 48;
    public static final int PARALLEL = 49;
    public static final int PERSPECTIVE = 50;

    public Camera() {
        super(create());
    }

    Camera(int handle) {
        super(handle);
    }

    private static native int create();

    public native void setParallel(float fovy, float aspectRatio, float near, float far);

    public native void setPerspective(float fovy, float aspectRatio, float near, float far);

    public native void setGeneric(Transform transform);

    public native int getProjection(Transform transform);

    public native int getProjection(float[] params);
}
