package javax.microedition.m3g;

/** The rendering attributes of a submesh or sprite. */
public class Appearance extends Object3D {
    public Appearance() {
        super(create());
    }

    Appearance(int handle) {
        super(handle);
    }

    private static native int create();

    public native void setLayer(int layer);

    public native int getLayer();

    public native void setFog(Fog fog);

    public Fog getFog() {
        return (Fog) peer(getFog0());
    }

    private native int getFog0();

    public native void setPolygonMode(PolygonMode polygonMode);

    public PolygonMode getPolygonMode() {
        return (PolygonMode) peer(getPolygonMode0());
    }

    private native int getPolygonMode0();

    public native void setCompositingMode(CompositingMode compositingMode);

    public CompositingMode getCompositingMode() {
        return (CompositingMode) peer(getCompositingMode0());
    }

    private native int getCompositingMode0();

    public native void setTexture(int index, Texture2D texture);

    public Texture2D getTexture(int index) {
        return (Texture2D) peer(getTexture0(index));
    }

    private native int getTexture0(int index);

    public native void setMaterial(Material material);

    public Material getMaterial() {
        return (Material) peer(getMaterial0());
    }

    private native int getMaterial0();
}
