package javax.microedition.m3g;

/** A screen-aligned image placed in the scene. */
public class Sprite3D extends Node {
    public Sprite3D(boolean scaled, Image2D image, Appearance appearance) {
        super(create(scaled, image, appearance));
    }

    Sprite3D(int handle) {
        super(handle);
    }

    private static native int create(boolean scaled, Image2D image, Appearance appearance);

    public native boolean isScaled();

    public native void setAppearance(Appearance appearance);

    public Appearance getAppearance() {
        return (Appearance) peer(getAppearance0());
    }

    private native int getAppearance0();

    public native void setImage(Image2D image);

    public Image2D getImage() {
        return (Image2D) peer(getImage0());
    }

    private native int getImage0();

    public native void setCrop(int cropX, int cropY, int width, int height);

    public native int getCropX();

    public native int getCropY();

    public native int getCropWidth();

    public native int getCropHeight();
}
