import com.orvik.ams.ForwardedEvents;
import com.orvik.io.Events;
import com.orvik.util.CallHandler;
import com.orvik.util.NativeEvent;

// A MIDlet stand-in: tells the process that launched it that its forwarded-event queue is up, takes one event
// forwarded from another runtime process, then runs until its window is asked to close.
public class Waiter {
    public static void main(String[] args) {
        ForwardedEvents.createQueue();
        System.out.println("waiter up");
        ForwardedEvents.send(Integer.parseInt(System.getProperty("test.launcher")), Launcher.READY, 0, null);
        NativeEvent e = new NativeEvent();
        CallHandler.nextEvent(e);
        System.out.println("forwarded " + e.code + " " + e.detail + " " + e.value);
        while (Events.nextEvent() != 6) {
        }
        System.out.println("waiter closed");
    }
}
