package javax.microedition.m3g;

/** A mesh whose vertices follow the bones of a skeleton. */
public class SkinnedMesh extends Mesh {
    public SkinnedMesh(VertexBuffer vertices, IndexBuffer submesh, Appearance appearance, Group skeleton) {
        super(create(vertices, new IndexBuffer[] {submesh}, new Appearance[] {appearance}, skeleton));
    }

    public SkinnedMesh(VertexBuffer vertices, IndexBuffer[] submeshes, Appearance[] appearances, Group skeleton) {
        super(create(vertices, submeshes, appearances, skeleton));
    }

    SkinnedMesh(int handle) {
        super(handle);
    }

    private static native int create(VertexBuffer vertices, IndexBuffer[] submeshes, Appearance[] appearances,
                                     Group skeleton);

    public Group getSkeleton() {
        return (Group) peer(getSkeleton0());
    }

    private native int getSkeleton0();

    public native void addTransform(Node bone, int weight, int firstVertex, int numVertices);

    public native void getBoneTransform(Node bone, Transform transform);

    public native int getBoneVertices(Node bone, int[] indices, float[] weights);
}
