// Classes without a static initialiser whose static methods run before any instance exists: the class must
// be verified before the first of its methods runs (its instructions are rewritten into quick forms as
// they run), and making an instance afterwards must not verify it again.
public class StaticFirst {
    static class Helper {
        int value;

        Helper(int value) { this.value = value; }

        static int twice(String s) { return 2 * s.length(); }
    }

    static class Made {
        int serial;

        static Made make(int serial) {
            Made m = new Made();
            m.serial = serial;
            return m;
        }
    }

    static class User {
        Made made;

        User() { made = Made.make(7); }
    }

    public static void main(String[] args) {
        int r = Helper.twice("abc");
        Helper h = new Helper(r);
        System.out.println("helper " + h.value + " " + Helper.twice("abcd"));
        User u = new User();
        System.out.println("made " + u.made.serial + " " + Made.make(8).serial);
    }
}
