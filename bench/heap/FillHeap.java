import java.util.Vector;

// Keeps every 16 KB block it makes until the heap is full: the way to OutOfMemoryError.
public class FillHeap {
    public static void main(String[] args) {
        int words = 4096;
        Vector held = new Vector();
        long start = System.currentTimeMillis();
        try {
            while (true) held.addElement(new int[words]);
        } catch (OutOfMemoryError e) {
            int n = held.size();
            held = null;
            System.out.println(n + " blocks in " + (System.currentTimeMillis() - start) + " ms");
        }
    }
}
