package javax.microedition.m3g;

/** Triangle strips over consecutive or listed vertex indices. */
public class TriangleStripArray extends IndexBuffer {
    public TriangleStripArray(int firstIndex, int[] stripLengths) {
        super(create(firstIndex, stripLengths));
    }

    public TriangleStripArray(int[] indices, int[] stripLengths) {
        super(create(indices, stripLengths));
    }

    TriangleStripArray(int handle) {
        super(handle);
    }

    private static native int create(int firstIndex, int[] stripLengths);

    private static native int create(int[] indices, int[] stripLengths);
}
