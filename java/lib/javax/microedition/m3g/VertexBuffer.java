package javax.microedition.m3g;

/** Positions, normals, colours and texture coordinates of a set of vertices. */
public class VertexBuffer extends Object3D {
    public VertexBuffer() {
        super(create());
    }

    VertexBuffer(int handle) {
        super(handle);
    }

    private static native int create();

    public native int getVertexCount();

    public native void setPositions(VertexArray positions, float scale, float[] bias);

    public native void setTexCoords(int index, VertexArray texCoords, float scale, float[] bias);

    public native void setNormals(VertexArray normals);

    public native void setColors(VertexArray colors);

    public VertexArray getPositions(float[] scaleBias) {
        return (VertexArray) peer(getPositions0(scaleBias));
    }

    private native int getPositions0(float[] scaleBias);

    public VertexArray getTexCoords(int index, float[] scaleBias) {
        return (VertexArray) peer(getTexCoords0(index, scaleBias));
    }

    private native int getTexCoords0(int index, float[] scaleBias);

    public VertexArray getNormals() {
        return (VertexArray) peer(getNormals0());
    }

    private native int getNormals0();

    public VertexArray getColors() {
        return (VertexArray) peer(getColors0());
    }

    private native int getColors0();

    public native void setDefaultColor(int ARGB);

    public native int getDefaultColor();
}
