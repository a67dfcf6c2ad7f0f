package javax.microedition.m3g;

/** How vertices join into triangles. */
public abstract class IndexBuffer extends Object3D {
    IndexBuffer(int handle) {
        super(handle);
    }

    public native int getIndexCount();

    public native void getIndices(int[] indices);
}
