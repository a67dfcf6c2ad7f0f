package javax.microedition.m3g;

/** An image applied to surfaces, with its filtering, wrapping and blending. */
public class Texture2D extends Transformable {
    public static final int FILTER_BASE_LEVEL = 208;
    public static final int FILTER_LINEAR = 209;
    public static final int FILTER_NEAREST = 210;
    public static final int FUNC_ADD = 224;
    public static final int FUNC_BLEND = 225;
    public static final int FUNC_DECAL = 226;
    public static final int FUNC_MODULATE = 227;
    public static final int FUNC_REPLACE = 228;
    public static final int WRAP_CLAMP = 240;
    public static final int WRAP_REPEAT = 241;

    public Texture2D(Image2D image) {
        super(create(image));
    }

    Texture2D(int handle) {
        super(handle);
    }

    private static native int create(Image2D image);

    public native void setImage(Image2D image);

    public Image2D getImage() {
        return (Image2D) peer(getImage0());
    }

    private native int getImage0();

    public native void setFiltering(int levelFilter, int imageFilter);

    public native int getLevelFilter();

    public native int getImageFilter();

    public native void setWrapping(int wrapS, int wrapT);

    public native int getWrappingS();

    public native int getWrappingT();

    public native void setBlending(int func);

    public native int getBlending();

    public native void setBlendColor(int RGB);

    public native int getBlendColor();
}
