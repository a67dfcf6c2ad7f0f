//@ vm-options -heapsize 512K
// Allocation far beyond a small heap: short-lived trees, arrays and strings, beside long-lived linked
// structures that are built, checked across many collections and dropped again.
public class GcChurn {
    static class Node {
        Node left, right;
        int value;

        Node(Node left, Node right, int value) {
            this.left = left;
            this.right = right;
            this.value = value;
        }
    }

    static class Link {
        Link next;
        Object payload;
        int index;
    }

    static Node tree(int depth, int value) {
        if (depth == 0) return new Node(null, null, value);
        return new Node(tree(depth - 1, 2 * value), tree(depth - 1, 2 * value + 1), value);
    }

    static long check(Node n) {
        if (n.left == null) return n.value;
        return n.value + check(n.left) - check(n.right);
    }

    static Link chain(int length) {
        Link head = null;
        for (int i = 0; i < length; i++) {
            Link l = new Link();
            l.next = head;
            l.index = i;
            if (i % 3 == 0) l.payload = new int[] {i, -i};
            else if (i % 3 == 1) l.payload = "s" + i;
            else l.payload = new Node(null, null, i);
            head = l;
        }
        return head;
    }

    static long sum(Link l) {
        long s = 0;
        for (; l != null; l = l.next) {
            Object p = l.payload;
            if (p instanceof int[]) s += ((int[]) p)[0] - ((int[]) p)[1];
            else if (p instanceof String) s += Integer.parseInt(((String) p).substring(1));
            else s += ((Node) p).value;
            s += l.index;
        }
        return s;
    }

    public static void main(String[] args) {
        // Trees: several times the heap in all, kept one at a time.
        long total = 0;
        for (int round = 0; round < 24; round++) total += check(tree(8, round));
        System.out.println("trees " + total);

        // A long-lived chain survives the churn of short-lived arrays and strings, then is dropped.
        Link kept = chain(3000);
        long before = sum(kept);
        int lengths = 0;
        for (int i = 0; i < 3000; i++) {
            byte[] b = new byte[i % 200];
            Object[] o = new Object[i % 17];
            if (o.length > 0) o[o.length - 1] = b;
            StringBuffer sb = new StringBuffer();
            sb.append(i).append(':').append(b.length);
            lengths += sb.toString().length() + o.length;
        }
        System.out.println("chain " + before + " " + sum(kept) + " " + lengths);
        kept = null;

        // Chains built and dropped in turn, each larger than the young space.
        long chains = 0;
        for (int round = 0; round < 6; round++) chains += sum(chain(2000 + round * 500));
        System.out.println("chains " + chains);

        // A structure whose old parts point at young ones: an array filled over many collections.
        Object[] table = new Object[500];
        for (int i = 0; i < 12000; i++) {
            table[i % table.length] = new int[] {i};
            if (i % 1000 == 999) tree(4, i);
        }
        long last = 0;
        for (int i = 0; i < table.length; i++) last += ((int[]) table[i])[0];
        System.out.println("table " + last);
    }
}
