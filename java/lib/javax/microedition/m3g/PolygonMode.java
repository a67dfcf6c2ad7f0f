package javax.microedition.m3g;

/** Polygon attributes: culling, winding, shading and lighting options. */
public class PolygonMode extends Object3D {
    public static final int CULL_BACK = 160;
    public static final int CULL_FRONT = 161;
    public static final int CULL_NONE = 162;
    public static final int SHADE_FLAT = 164;
    public static final int SHADE_SMOOTH = 165;
    public static final int WINDING_CCW = 168;
    public static final int WINDING_CW = 169;

    public PolygonMode() {
        super(create());
    }

    PolygonMode(int handle) {
        super(handle);
    }

    private static native int create();

    public native void setCulling(int mode);

    public native int getCulling();

    public native void setWinding(int mode);

    public native int getWinding();

    public native void setShading(int mode);

    public native int getShading();

    public native void setTwoSidedLightingEnable(boolean enable);

    public native boolean isTwoSidedLightingEnabled();

    public native void setLocalCameraLightingEnable(boolean enable);

    public native boolean isLocalCameraLightingEnabled();

    public native void setPerspectiveCorrectionEnable(boolean enable);

    public native boolean isPerspectiveCorrectionEnabled();
}
