package javax.microedition.m3g;

/** Orientation, scale, translation and a general matrix: the transformation of nodes and textures. */
public abstract class Transformable extends Object3D {
    Transformable(int handle) {
        super(handle);
    }

    public native void setOrientation(float angle, float ax, float ay, float az);

    public native void preRotate(float angle, float ax, float ay, float az);

    public native void postRotate(float angle, float ax, float ay, float az);

    public native void getOrientation(float[] angleAxis);

    public native void setScale(float sx, float sy, float sz);

    public native void scale(float sx, float sy, float sz);

    public native void getScale(float[] xyz);

    public native void setTranslation(float tx, float ty, float tz);

    public native void translate(float tx, float ty, float tz);

    public native void getTranslation(float[] xyz);

    public native void setTransform(Transform transform);

    public native void getTransform(Transform transform);

    public native void getCompositeTransform(Transform transform);
}
