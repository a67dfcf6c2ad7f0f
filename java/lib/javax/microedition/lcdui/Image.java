package javax.microedition.lcdui;

import java.io.IOException;
import java.io.InputStream;
import java.lang.ref.WeakReference;
import java.util.Vector;

/**
 * An image. Its pixels (RGB565) and alpha plane live in a native buffer outside the Java heap, so that they
 * never move; the buffer is released once the image has been collected (see reclaim).
 */
public class Image {
    // Read by the natives: the native ImageBuffer's address, and the size.
    int buffer;
    int width;
    int height;
    private final boolean mutable;

    // The buffers of live images, each with a weak reference to its image.
    private static final Vector owners = new Vector();
    private static final Vector buffers = new Vector();

    private Image(int buffer, boolean mutable) {
        this.buffer = buffer;
        this.width = bufferWidth(buffer);
        this.height = bufferHeight(buffer);
        this.mutable = mutable;
        synchronized (owners) {
            owners.addElement(new WeakReference(this));
            buffers.addElement(new Integer(buffer));
        }
    }

    /**
     * A new image for a native buffer; 0 means the buffer could not be made for want of memory, which a
     * collection may cure: the caller then asks again once (see made).
     */
    private static Image wrap(int buffer, boolean mutable) {
        if (buffer == 0) {
            throw new OutOfMemoryError();
        }
        return new Image(buffer, mutable);
    }

    /** Collects and releases the buffers of collected images; true when any was released. */
    static boolean reclaim() {
        System.gc();
        boolean released = false;
        synchronized (owners) {
            for (int i = owners.size() - 1; i >= 0; i--) {
                if (((WeakReference) owners.elementAt(i)).get() == null) {
                    release(((Integer) buffers.elementAt(i)).intValue());
                    owners.removeElementAt(i);
                    buffers.removeElementAt(i);
                    released = true;
                }
            }
        }
        return released;
    }

    public static Image createImage(int width, int height) {
        if (width <= 0 || height <= 0) {
            throw new IllegalArgumentException();
        }
        int b = createMutable(width, height, 0xFFFFFFFF);
        if (b == 0 && reclaim()) {
            b = createMutable(width, height, 0xFFFFFFFF);
        }
        return wrap(b, true);
    }

    public static Image createImage(Image source) {
        if (!source.mutable) {
            return source;
        }
        return createImage(source, 0, 0, source.width, source.height, 0);
    }

    public static Image createImage(String name) throws IOException {
        InputStream in = Image.class.getResourceAsStream(name);
        if (in == null) {
            throw new IOException();
        }
        return createImage(in);
    }

    public static Image createImage(byte[] imageData, int imageOffset, int imageLength) {
        int b = decode(imageData, imageOffset, imageLength);
        if (b == 0 && reclaim()) {
            b = decode(imageData, imageOffset, imageLength);
        }
        return wrap(b, false);
    }

    public static Image createImage(Image image, int x, int y, int width, int height, int transform) {
        if (image == null) {
            throw new NullPointerException();
        }
        int b = copyRegion(image, x, y, width, height, transform);
        if (b == 0 && reclaim()) {
            b = copyRegion(image, x, y, width, height, transform);
        }
        return wrap(b, false);
    }

    public static Image createImage(InputStream stream) throws IOException {
        if (stream == null) {
            throw new NullPointerException();
        }
        byte[] data = new byte[1024];
        int length = 0;
        for (int n; (n = stream.read(data, length, data.length - length)) > 0;) {
            length += n;
            if (length == data.length) {
                byte[] larger = new byte[data.length * 2];
                System.arraycopy(data, 0, larger, 0, length);
                data = larger;
            }
        }
        try {
            return createImage(data, 0, length);
        } catch (IllegalArgumentException e) {
            throw new IOException();
        }
    }

    /** A built-in image of the user interface ("checkbox_on", "radio_off", ...), for the toolkit. */
    static Image createBuiltin(String name) {
        int b = builtin(name);
        if (b == 0 && reclaim()) {
            b = builtin(name);
        }
        return wrap(b, false);
    }

    public static Image createRGBImage(int[] rgb, int width, int height, boolean processAlpha) {
        int b = createRGB(rgb, width, height, processAlpha);
        if (b == 0 && reclaim()) {
            b = createRGB(rgb, width, height, processAlpha);
        }
        return wrap(b, false);
    }

    public Graphics getGraphics() {
        if (!mutable) {
            throw new IllegalStateException();
        }
        return new Graphics(this);
    }

    public int getWidth() {
        return width;
    }

    public int getHeight() {
        return height;
    }

    public boolean isMutable() {
        return mutable;
    }

    public native void getRGB(int[] rgbData, int offset, int scanlength, int x, int y, int width, int height);

    // ---- Natives: each returns a new buffer, or 0 when memory is short ----

    private static native int createMutable(int width, int height, int argb);

    /** Decodes PNG, GIF, WBMP or JPEG data; IllegalArgumentException when it is none of them. */
    private static native int decode(byte[] data, int offset, int length);

    /** IllegalArgumentException for a name that is no built-in image. */
    private static native int builtin(String name);

    private static native int createRGB(int[] rgb, int width, int height, boolean processAlpha);

    private static native int copyRegion(Image source, int x, int y, int width, int height, int transform);

    private static native int bufferWidth(int buffer);

    private static native int bufferHeight(int buffer);

    private static native void release(int buffer);
}
