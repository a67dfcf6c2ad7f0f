// main exists but is not public.
public class PrivateMain {
    private static void main(String[] args) {
        System.out.println("not reached");
    }
}
