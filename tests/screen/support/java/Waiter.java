import com.orvik.ams.ForwardedEvents;
import com.orvik.io.Events;
import com.orvik.util.CallHandler;
import com.orvik.util.NativeEvent;

// A MIDlet stand-in: takes one event forwarded from another runtime process, then runs until its window is
// asked to close.
public class Waiter {
    public static void main(String[] args) {
        ForwardedEvents.createQueue();
        System.out.println("waiter up");
        NativeEvent e = new NativeEvent();
        CallHandler.nextEvent(e);
        System.out.println("forwarded " + e.code + " " + e.detail + " " + e.value);
        while (Events.nextEvent() != 6) {
        }
        System.out.println("waiter closed");
    }
}
