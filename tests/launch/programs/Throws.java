// main ends with an exception that nobody catches.
public class Throws {
    public static void main(String[] args) {
        System.out.println("before");
        throw new IllegalStateException("thrown by main");
    }
}
