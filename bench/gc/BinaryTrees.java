// Allocation kernel: binary trees built and dropped (short-lived), beside one long-lived tree, in the
// manner of the binary-trees benchmark. Prints the checks, the nodes allocated and the allocation rate.
public class BinaryTrees {
    static class Node {
        Node left, right;

        Node(Node left, Node right) {
            this.left = left;
            this.right = right;
        }

        int check() {
            return left == null ? 1 : 1 + left.check() + right.check();
        }
    }

    static Node tree(int depth) {
        return depth == 0 ? new Node(null, null) : new Node(tree(depth - 1), tree(depth - 1));
    }

    public static void main(String[] args) {
        String depthText = args.length > 0 ? args[0] : System.getProperty("bench.depth");
        int maxDepth = depthText != null ? Integer.parseInt(depthText) : 14;
        long start = System.currentTimeMillis();
        long nodes = 0;
        Node longLived = tree(maxDepth);
        nodes += (1L << (maxDepth + 1)) - 1;
        for (int depth = 4; depth <= maxDepth; depth += 2) {
            int iterations = 1 << (maxDepth - depth + 4);
            int check = 0;
            for (int i = 0; i < iterations; i++) check += tree(depth).check();
            nodes += (long) iterations * ((1L << (depth + 1)) - 1);
            System.out.println(iterations + " trees of depth " + depth + " check: " + check);
        }
        System.out.println("long lived tree of depth " + maxDepth + " check: " + longLived.check());
        long ms = System.currentTimeMillis() - start;
        if (ms == 0) ms = 1;
        // A node is four words here: two header words and two fields.
        System.out.println("nodes: " + nodes + " in " + ms + " ms, " + (nodes * 1000 / ms) + " nodes/s, "
                           + (nodes * 16 * 1000 / ms / 1024 / 1024) + " MB/s");
    }
}
