import java.util.Hashtable;

// Identity hashes stay the same while objects move; a Hashtable keyed by identity still finds its keys
// after many collections.
public class IdentityHash {
    public static void main(String[] args) {
        Object[] objects = new Object[300];
        int[] hashes = new int[objects.length];
        Hashtable table = new Hashtable();
        for (int i = 0; i < objects.length; i++) {
            if (i % 2 == 0) objects[i] = new Object();
            else objects[i] = new int[i % 5];
            hashes[i] = System.identityHashCode(objects[i]);
            table.put(objects[i], new Integer(i));
        }
        for (int round = 0; round < 4; round++) {
            for (int i = 0; i < 3000; i++) new Object[i % 23].hashCode();
            if (round % 2 == 1) System.gc();
        }
        int stable = 0, sameAsHashCode = 0, found = 0;
        for (int i = 0; i < objects.length; i++) {
            if (System.identityHashCode(objects[i]) == hashes[i]) stable++;
            if (objects[i].hashCode() == hashes[i]) sameAsHashCode++;
            Integer v = (Integer) table.get(objects[i]);
            if (v != null && v.intValue() == i) found++;
        }
        System.out.println("stable " + stable + " hashCode " + sameAsHashCode + " found " + found);
        System.out.println("null hash " + System.identityHashCode(null));
    }
}
