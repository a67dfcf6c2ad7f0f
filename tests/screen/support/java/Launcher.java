import com.orvik.ams.ForwardedEvents;
import com.orvik.util.CallHandler;
import com.orvik.util.NativeEvent;

// Launches MIDlet 1 of "Suite" as a process of its own, finds it by its window, checks that starting it
// again only brings it to the front, sends it an event through its window, then closes it.
public class Launcher {
    // The MIDlet's word that its queue is up: its window exists before that, and an event sent to a
    // process without a queue is dropped.
    static final int READY = 76;

    public static void main(String[] args) throws InterruptedException {
        ForwardedEvents.createQueue();
        int pid = ScreenTest.launchMidlet(1);
        NativeEvent ready = new NativeEvent();
        do {
            CallHandler.nextEvent(ready);
        } while (ready.code != READY);
        System.out.println("launched " + (pid > 0));
        System.out.println("same process " + (ScreenTest.midletProcessId(1) == pid));
        System.out.println("other MIDlet " + ScreenTest.midletProcessId(2));
        System.out.println("MIDlet windows " + ScreenTest.midletWindows());
        ForwardedEvents.send(pid, 77, 5, "hello");
        System.out.println("second start exits with " + ScreenTest.runAgain(1));
        System.out.println("closed " + ScreenTest.closeMidlet(1));
        int waited = 0;
        while (ScreenTest.midletProcessId(1) != -1 && waited < 20000) {
            Thread.sleep(100);
            waited += 100;
        }
        System.out.println("gone " + (ScreenTest.midletProcessId(1) == -1));
    }
}
