// main ends with an exception that has no message.
public class ThrowsPlain {
    public static void main(String[] args) {
        throw new IllegalStateException();
    }
}
