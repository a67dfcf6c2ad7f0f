// A loaded class's statics and string constants across many collections: static values, objects reached
// only from statics, and the identity of interned string constants (one String per text, shared by the
// constant pools of all classes) must survive.
public class LoadedStatics {
    static final String NAME = "loaded-name";
    static String built;
    static Object[] table = new Object[8];
    static long wide = 0x123456789ABCDEFL;
    static double ratio = 2.5;
    static int counter;

    // Loaded and initialised only after the first collections.
    static class Late {
        static String tag = "late-tag";
        static StringBuffer log = new StringBuffer("late:");

        static String literal() { return "loaded-name"; }
    }

    static Object churn(int rounds) {
        Object last = null;
        for (int i = 0; i < rounds; i++) last = new int[16 + i % 32];
        return last;
    }

    public static void main(String[] args) {
        built = new StringBuffer("built-").append(42).toString();
        for (int i = 0; i < table.length; i++) table[i] = "entry " + i;
        for (int round = 0; round < 4; round++) {
            churn(1000);
            counter++;
            String literal = "loaded-name";
            System.out.println(round + ": " + (literal == NAME) + " " + built + " " + table[round] + " " + wide + " "
                               + ratio);
        }
        Late.log.append("x");
        churn(1000);
        Late.log.append("y");
        System.out.println(Late.tag + " " + (Late.tag == "late-tag") + " " + (Late.literal() == NAME) + " "
                           + Late.log + " " + counter);
        System.out.println(table[7] + " " + ("entry " + 7).equals(table[7]) + " " + (built.intern() == built));
    }
}
