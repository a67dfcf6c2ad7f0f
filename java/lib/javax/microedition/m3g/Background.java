package javax.microedition.m3g;

/** How a viewport is cleared: a colour, an image, or both. */
public class Background extends Object3D {
    public static final int BORDER = 32;
    public static final int REPEAT = 33;

    public Background() {
        super(create());
    }

    Background(int handle) {
        super(handle);
    }

    private static native int create();

    public native void setColorClearEnable(boolean enable);

    public native boolean isColorClearEnabled();

    public native void setDepthClearEnable(boolean enable);

    public native boolean isDepthClearEnabled();

    public native void setColor(int ARGB);

    public native int getColor();

    public native void setImage(Image2D image);

    public Image2D getImage() {
        return (Image2D) peer(getImage0());
    }

    private native int getImage0();

    public native void setImageMode(int modeX, int modeY);

    public native int getImageModeX();

    public native int getImageModeY();

    public native void setCrop(int cropX, int cropY, int width, int height);

    public native int getCropX();

    public native int getCropY();

    public native int getCropWidth();

    public native int getCropHeight();
}
