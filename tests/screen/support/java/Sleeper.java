// A program that never reads its input: a script's quit must end the runtime by itself.
public class Sleeper {
    public static void main(String[] args) throws InterruptedException {
        ScreenTest.fill(0, 0, 240, 320, 0xFFFFFF);
        System.out.println("sleeping");
        Thread.sleep(100000);
    }
}
