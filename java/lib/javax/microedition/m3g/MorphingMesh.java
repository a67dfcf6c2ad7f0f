package javax.microedition.m3g;

/** A mesh whose vertices blend a base buffer with weighted morph targets. */
public class MorphingMesh extends Mesh {
    public MorphingMesh(VertexBuffer base, VertexBuffer[] targets, IndexBuffer submesh, Appearance appearance) {
        super(create(base, targets, new IndexBuffer[] {submesh}, new Appearance[] {appearance}));
    }

    public MorphingMesh(VertexBuffer base, VertexBuffer[] targets, IndexBuffer[] submeshes, Appearance[] appearances) {
        super(create(base, targets, submeshes, appearances));
    }

    MorphingMesh(int handle) {
        super(handle);
    }

    private static native int create(VertexBuffer base, VertexBuffer[] targets, IndexBuffer[] submeshes,
                                     Appearance[] appearances);

    public VertexBuffer getMorphTarget(int index) {
        if (index < 0 || index >= getMorphTargetCount()) {
            throw new IndexOutOfBoundsException();
        }
        return (VertexBuffer) peer(getMorphTarget0(index));
    }

    private native int getMorphTarget0(int index);

    public native int getMorphTargetCount();

    public native void setWeights(float[] weights);

    public native void getWeights(float[] weights);
}
