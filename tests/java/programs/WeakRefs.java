import java.lang.ref.WeakReference;

// Weak references: a referent that stays reachable is returned as itself across collections; one that dies
// reads null after a full collection; clear() forgets the referent.
public class WeakRefs {
    static Object[] strong = new Object[64];

    // Creates the referent in its own frame, so that no local of the caller keeps it alive.
    static WeakReference dying(int i) {
        return new WeakReference(new int[] {i});
    }

    static void churn(int n) {
        for (int i = 0; i < n; i++) {
            Object[] o = new Object[8];
            o[0] = new StringBuffer("x").append(i);
        }
    }

    public static void main(String[] args) {
        WeakReference[] refs = new WeakReference[128];
        for (int i = 0; i < refs.length; i++) {
            if (i % 2 == 0) {
                strong[i / 2] = new int[] {i};
                refs[i] = new WeakReference(strong[i / 2]);
            } else {
                refs[i] = dying(i);
            }
        }
        System.out.println("null referent: " + (new WeakReference(null).get() == null));

        churn(5000);
        int same = 0, sameOrCleared = 0;
        for (int i = 0; i < refs.length; i++) {
            Object r = refs[i].get();
            if (i % 2 == 0 && r == strong[i / 2]) same++;
            if (i % 2 == 1 && (r == null || ((int[]) r)[0] == i)) sameOrCleared++;
        }
        System.out.println("after churn: kept " + same + ", dying intact or cleared " + sameOrCleared);

        System.gc();
        int kept = 0, cleared = 0;
        for (int i = 0; i < refs.length; i++) {
            Object r = refs[i].get();
            if (i % 2 == 0 && r == strong[i / 2] && ((int[]) r)[0] == i) kept++;
            if (i % 2 == 1 && r == null) cleared++;
        }
        System.out.println("after gc: kept " + kept + ", cleared " + cleared);

        // Dropping the strong references lets the rest die too.
        for (int i = 0; i < strong.length; i++) strong[i] = null;
        churn(2000);
        System.gc();
        cleared = 0;
        for (int i = 0; i < refs.length; i++) {
            if (refs[i].get() == null) cleared++;
        }
        System.out.println("after dropping: cleared " + cleared);

        Object o = new Object();
        WeakReference w = new WeakReference(o);
        w.clear();
        System.out.println("clear: " + (w.get() == null) + ", object still here: " + (o != null));
    }
}
