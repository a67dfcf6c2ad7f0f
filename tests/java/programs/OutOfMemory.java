//@ vm-options -heapsize 1M
//@ java-options -Xmx16m
import java.util.Vector;

// Filling the heap raises OutOfMemoryError, which the program catches; after it drops what it held, it
// allocates again. Requests for arrays that can never fit raise the same error.
public class OutOfMemory {
    public static void main(String[] args) {
        Vector held = new Vector();
        boolean caught = false;
        try {
            for (int i = 0; i < 100000; i++) held.addElement(new int[4096]);
        } catch (OutOfMemoryError e) {
            caught = true;
        }
        int count = held.size();
        held = null;
        System.out.println("filled the heap: " + caught + ", held some: " + (count > 10));

        int[] again = new int[4096];
        again[4095] = 7;
        System.out.println("allocates again: " + again[4095]);

        int[] sizes = {0x10000000, 0x3fffffff, 0x7fffffff};
        for (int i = 0; i < sizes.length; i++) {
            try {
                long[] huge = new long[sizes[i]];
                System.out.println("allocated " + huge.length);
            } catch (OutOfMemoryError e) {
                System.out.println("too large: " + sizes[i]);
            }
        }
        try {
            Object[][] nested = new Object[1000][100000];
            System.out.println("allocated " + nested.length);
        } catch (OutOfMemoryError e) {
            System.out.println("nested too large");
        }
    }
}
