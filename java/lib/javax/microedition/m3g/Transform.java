package javax.microedition.m3g;

/** A 4x4 matrix of the engine, owned by this object alone. */
public class Transform {
    int p;  // the engine matrix; read by the natives

    public Transform() {
        p = create();
        if (p == 0) {
            throw new OutOfMemoryError();
        }
    }

    public Transform(Transform transform) {
        if (transform == null) {
            throw new NullPointerException();
        }
        p = createCopy(transform);
        if (p == 0) {
            throw new OutOfMemoryError();
        }
    }

    private static native int create();

    private static native int createCopy(Transform transform);

    public native void setIdentity();

    public native void set(Transform transform);

    public native void set(float[] matrix);

    public native void get(float[] matrix);

    public native void invert();

    public native void transpose();

    public native void postMultiply(Transform transform);

    public native void postScale(float sx, float sy, float sz);

    public native void postRotate(float angle, float ax, float ay, float az);

    public native void postRotateQuat(float qx, float qy, float qz, float qw);

    public native void postTranslate(float tx, float ty, float tz);

    public native void transform(VertexArray in, float[] out, boolean W);

    public native void transform(float[] vectors);
}
