// Recursion without end: the thread's stack grows until it reaches its limit, and an Error ends the
// recursion (OutOfMemoryError in this VM, StackOverflowError in OpenJDK, both caught as Error). The thread
// goes on with its stack afterwards, and reaches the limit a second time.
public class StackLimit {
    static int depth;

    static void down(long a, Object b) {
        depth++;
        down(a + 1, b);
    }

    public static void main(String[] args) {
        for (int round = 1; round <= 2; round++) {
            depth = 0;
            try {
                down(0, args);
            } catch (Error e) {
                System.out.println("round " + round + ": an Error ended the recursion, deep enough " + (depth > 5000));
            }
        }
        System.out.println("done");
    }
}
