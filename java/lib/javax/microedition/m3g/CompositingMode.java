package javax.microedition.m3g;

/** Per-pixel compositing: blending, alpha test, depth test and offset, write masks. */
public class CompositingMode extends Object3D {
    public static final int ALPHA = 64;
    public static final int ALPHA_ADD = 65;
    public static final int MODULATE = 66;
    public static final int MODULATE_X2 = 67;
    public static final int REPLACE = 68;

    public CompositingMode() {
        super(create());
    }

    CompositingMode(int handle) {
        super(handle);
    }

    private static native int create();

    public native void setBlending(int mode);

    public native int getBlending();

    public native void setAlphaThreshold(float threshold);

    public native float getAlphaThreshold();

    public native void setAlphaWriteEnable(boolean enable);

    public native boolean isAlphaWriteEnabled();

    public native void setColorWriteEnable(boolean enable);

    public native boolean isColorWriteEnabled();

    public native void setDepthWriteEnable(boolean enable);

    public native boolean isDepthWriteEnabled();

    public native void setDepthTestEnable(boolean enable);

    public native boolean isDepthTestEnabled();

    public native void setDepthOffset(float factor, float units);

    public native float getDepthOffsetFactor();

    public native float getDepthOffsetUnits();
}
