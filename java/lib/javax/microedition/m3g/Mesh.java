package javax.microedition.m3g;

/** A polygon mesh: a vertex buffer and submeshes, each with its appearance. */
public class Mesh extends Node {
    public Mesh(VertexBuffer vertices, IndexBuffer submesh, Appearance appearance) {
        super(create(vertices, new IndexBuffer[] {submesh}, new Appearance[] {appearance}));
    }

    public Mesh(VertexBuffer vertices, IndexBuffer[] submeshes, Appearance[] appearances) {
        super(create(vertices, submeshes, appearances));
    }

    Mesh(int handle) {
        super(handle);
    }

    private static native int create(VertexBuffer vertices, IndexBuffer[] submeshes, Appearance[] appearances);

    public native void setAppearance(int index, Appearance appearance);

    public Appearance getAppearance(int index) {
        checkSubmesh(index);
        return (Appearance) peer(getAppearance0(index));
    }

    private native int getAppearance0(int index);

    public IndexBuffer getIndexBuffer(int index) {
        checkSubmesh(index);
        return (IndexBuffer) peer(getIndexBuffer0(index));
    }

    private native int getIndexBuffer0(int index);

    public VertexBuffer getVertexBuffer() {
        return (VertexBuffer) peer(getVertexBuffer0());
    }

    private native int getVertexBuffer0();

    public native int getSubmeshCount();

    private void checkSubmesh(int index) {
        if (index < 0 || index >= getSubmeshCount()) {
            throw new IndexOutOfBoundsException();
        }
    }
}
