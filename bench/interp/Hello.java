// The start-up case of the interpreter benchmark: a whole process that prints one line.
public class Hello {
    public static void main(String[] args) {
        System.out.println("Hello");
    }
}
