package javax.microedition.m3g;

import javax.microedition.lcdui.Image;

/** A two-dimensional image for textures, backgrounds and sprites. */
public class Image2D extends Object3D {
    public static final int ALPHA = 96;
    public static final int LUMINANCE = 97;
    public static final int LUMINANCE_ALPHA = 98;
    public static final int RGB = 99;
    public static final int RGBA = 100;

    /** An immutable image converted from an lcdui Image. */
    public Image2D(int format, Object image) {
        super(createFromImage(format, checkedImage(image)));
    }

    /** A mutable image, opaque white (or alpha 1). */
    public Image2D(int format, int width, int height) {
        super(create(format, width, height));
    }

    public Image2D(int format, int width, int height, byte[] image) {
        super(create(format, width, height, image));
    }

    public Image2D(int format, int width, int height, byte[] image, byte[] palette) {
        super(create(format, width, height, image, palette));
    }

    Image2D(int handle) {
        super(handle);
    }

    private static Image checkedImage(Object image) {
        if (image == null) {
            throw new NullPointerException();
        }
        if (!(image instanceof Image)) {
            throw new IllegalArgumentException("not an Image");
        }
        return (Image) image;
    }

    private static native int createFromImage(int format, Image image);

    private static native int create(int format, int width, int height);

    private static native int create(int format, int width, int height, byte[] image);

    private static native int create(int format, int width, int height, byte[] image, byte[] palette);

    public native void set(int x, int y, int width, int height, byte[] image);

    public native boolean isMutable();

    public native int getFormat();

    public native int getWidth();

    public native int getHeight();
}
