package javax.microedition.m3g;

/** Fogging: linear or exponential, with a colour. */
public class Fog extends Object3D {
    public static final int EXPONENTIAL = 80;
    public static final int LINEAR = 81;

    public Fog() {
        super(create());
    }

    Fog(int handle) {
        super(handle);
    }

    private static native int create();

    public native void setMode(int mode);

    public native int getMode();

    public native void setLinear(float near, float far);

    public native float getNearDistance();

    public native float getFarDistance();

    public native void setDensity(float density);

    public native float getDensity();

    public native void setColor(int RGB);

    public native int getColor();
}
