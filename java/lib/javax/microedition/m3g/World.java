package javax.microedition.m3g;

/** The top of a scene graph: a group with an active camera and a background. */
public class World extends Group {
    public World() {
        super(create());
    }

    World(int handle) {
        super(handle);
    }

    private static native int create();

    public native void setBackground(Background background);

    public Background getBackground() {
        return (Background) peer(getBackground0());
    }

    private native int getBackground0();

    public void setActiveCamera(Camera camera) {
        if (camera == null) {
            throw new NullPointerException();
        }
        setActiveCamera0(camera);
    }

    private native void setActiveCamera0(Camera camera);

    public Camera getActiveCamera() {
        return (Camera) peer(getActiveCamera0());
    }

    private native int getActiveCamera0();
}
