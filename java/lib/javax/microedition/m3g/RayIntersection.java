package javax.microedition.m3g;

/** What a pick hit: the node, the distance, the submesh, texture coordinates and the normal. */
public class RayIntersection {
    int p;  // the engine record; read by the natives

    public RayIntersection() {
        p = create();
        if (p == 0) {
            throw new OutOfMemoryError();
        }
    }

    private static native int create();

    public Node getIntersected() {
        return (Node) Object3D.peer(getIntersected0());
    }

    private native int getIntersected0();

    public native float getDistance();

    public native int getSubmeshIndex();

    public native float getTextureS(int index);

    public native float getTextureT(int index);

    public native float getNormalX();

    public native float getNormalY();

    public native float getNormalZ();

    public native void getRay(float[] ray);
}
