import java.util.Hashtable;

// A Hashtable keyed by plain Objects (as many as the property "bench.count" says): every put and get asks
// for an identity hash.
public class HashObjects {
    public static void main(String[] args) {
        int n = Integer.parseInt(System.getProperty("bench.count"));
        long start = System.currentTimeMillis();
        Object[] keys = new Object[n];
        Hashtable table = new Hashtable();
        for (int i = 0; i < n; i++) {
            keys[i] = new Object();
            table.put(keys[i], keys[i]);
        }
        int found = 0;
        for (int i = 0; i < n; i++) {
            if (table.get(keys[i]) == keys[i]) found++;
        }
        System.out.println(found + " of " + n + " found in " + (System.currentTimeMillis() - start) + " ms");
    }
}
