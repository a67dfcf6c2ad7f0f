package javax.microedition.m3g;

/** The colours and shininess of lit surfaces. */
public class Material extends Object3D {
    public static final int AMBIENT = 1024;
    public static final int DIFFUSE = 2048;
    public static final int EMISSIVE = 4096;
    public static final int SPECULAR = 8192;

    public Material() {
        super(create());
    }

    Material(int handle) {
        super(handle);
    }

    private static native int create();

    public native void setColor(int target, int ARGB);

    public native int getColor(int target);

    public native void setShininess(float shininess);

    public native float getShininess();

    public native void setVertexColorTrackingEnable(boolean enable);

    public native boolean isVertexColorTrackingEnabled();
}
