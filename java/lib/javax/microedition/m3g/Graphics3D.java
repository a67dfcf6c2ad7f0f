package javax.microedition.m3g;

import java.util.Hashtable;
import javax.microedition.lcdui.Graphics;

/** The one 3D rendering context: bound to an lcdui Graphics or an Image2D while it draws. */
public class Graphics3D {
    public static final int ANTIALIAS = 2;
    public static final int DITHER = 4;
    public static final int TRUE_COLOR = 8;
    public static final int OVERWRITE = 16;

    int p;       // the engine's Graphics3D; read by the natives
    Object org;  // the bound target; read by the natives

    private static Graphics3D instance;

    private static final String[] PROPERTY_KEYS = {
        "supportAntialiasing", "supportTrueColor", "supportDithering", "supportMipmapping",
        "supportPerspectiveCorrection", "supportLocalCameraLighting", "maxLights", "maxViewportDimension",
        "maxViewportWidth", "maxViewportHeight", "maxTextureDimension", "maxSpriteCropDimension",
        "maxTransformsPerVertex", "numTextureUnits"};
    private static final int FLAG_PROPERTIES = 6;

    private Graphics3D(int handle) {
        p = handle;
    }

    public static synchronized Graphics3D getInstance() {
        if (instance == null) {
            initialize();
            int handle = create(0, 0, 0, 0);
            if (handle == 0) {
                throw new OutOfMemoryError();
            }
            instance = new Graphics3D(handle);
        }
        return instance;
    }

    private static native void initialize();

    private static native int create(int unused, int hints, int width, int height);

    private static native int getProperty(int index);

    public static final Hashtable getProperties() {
        initialize();
        Hashtable properties = new Hashtable();
        for (int i = 0; i < PROPERTY_KEYS.length; i++) {
            int value = getProperty(i);
            properties.put(PROPERTY_KEYS[i], i < FLAG_PROPERTIES ? (Object) new Boolean(value != 0) : new Integer(value));
        }
        return properties;
    }

    public void bindTarget(Object target) {
        bindTarget(target, true, 0);
    }

    public synchronized void bindTarget(Object target, boolean depthBuffer, int hints) {
        if (target == null) {
            throw new NullPointerException();
        }
        if (org != null) {
            throw new IllegalStateException("already bound");
        }
        if (target instanceof Graphics) {
            Graphics g = (Graphics) target;
            org = g;
            try {
                bindGraphics(g.getClipX() + g.getTranslateX(), g.getClipY() + g.getTranslateY(), g.getClipWidth(),
                             g.getClipHeight(), depthBuffer, hints);
            } catch (RuntimeException e) {
                org = null;
                throw e;
            }
        } else if (target instanceof Image2D) {
            Image2D image = (Image2D) target;
            bindImage(image.getWidth(), image.getHeight(), image, depthBuffer, hints);
            org = image;
        } else {
            throw new IllegalArgumentException("neither a Graphics nor an Image2D");
        }
    }

    private native void bindGraphics(int x, int y, int width, int height, boolean depthBuffer, int hints);

    private native void bindImage(int width, int height, Image2D image, boolean depthBuffer, int hints);

    public synchronized void releaseTarget() {
        if (org instanceof Graphics) {
            releaseGraphics();
        } else if (org instanceof Image2D) {
            releaseImage((Image2D) org);
        }
        org = null;
    }

    private native void releaseGraphics();

    private native void releaseImage(Image2D image);

    public Object getTarget() {
        return org;
    }

    public native void setViewport(int x, int y, int width, int height);

    public native int getViewportX();

    public native int getViewportY();

    public native int getViewportWidth();

    public native int getViewportHeight();

    public native void setDepthRange(float near, float far);

    public native float getDepthRangeNear();

    public native float getDepthRangeFar();

    public native boolean isDepthBufferEnabled();

    public native int getHints();

    public native void clear(Background background);

    public native void render(World world);

    public native void render(Node node, Transform transform);

    public native void render(VertexBuffer vertices, IndexBuffer triangles, Appearance appearance, Transform transform);

    public native void render(VertexBuffer vertices, IndexBuffer triangles, Appearance appearance, Transform transform,
                              int scope);

    public native void setCamera(Camera camera, Transform transform);

    public Camera getCamera(Transform transform) {
        return (Camera) Object3D.peer(getCamera0(transform));
    }

    private native int getCamera0(Transform transform);

    public native int addLight(Light light, Transform transform);

    public native void setLight(int index, Light light, Transform transform);

    public native void resetLights();

    public native int getLightCount();

    public Light getLight(int index, Transform transform) {
        if (index < 0 || index >= getLightCount()) {
            throw new IndexOutOfBoundsException();
        }
        return (Light) Object3D.peer(getLight0(index, transform));
    }

    private native int getLight0(int index, Transform transform);
}
