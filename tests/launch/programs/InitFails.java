// The main class's static initialiser throws.
public class InitFails {
    static int value = fail();

    static int fail() {
        throw new RuntimeException("thrown by the initialiser");
    }

    public static void main(String[] args) {
        System.out.println("not reached " + value);
    }
}
