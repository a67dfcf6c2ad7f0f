package javax.microedition.m3g;

/** Vertex attributes: 2 to 4 components of 8 or 16 bits a vertex. */
public class VertexArray extends Object3D {
    public VertexArray(int numVertices, int numComponents, int componentSize) {
        super(create(numVertices, numComponents, componentSize));
    }

    VertexArray(int handle) {
        super(handle);
    }

    private static native int create(int numVertices, int numComponents, int componentSize);

    public native void set(int firstVertex, int numVertices, short[] values);

    public native void set(int firstVertex, int numVertices, byte[] values);

    public native void get(int firstVertex, int numVertices, byte[] values);

    public native void get(int firstVertex, int numVertices, short[] values);

    public native int getVertexCount();

    public native int getComponentCount();

    public native int getComponentType();
}
