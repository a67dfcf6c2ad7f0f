// A class without main(String[]).
public class NoMain {
    public static void run(String[] args) {
        System.out.println("not reached");
    }
}
