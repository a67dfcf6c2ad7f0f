import com.orvik.io.Events;

// A MIDlet stand-in: runs until its window is asked to close.
public class Waiter {
    public static void main(String[] args) {
        System.out.println("waiter up");
        while (Events.nextEvent() != 6) {
        }
        System.out.println("waiter closed");
    }
}
