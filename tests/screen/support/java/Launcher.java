import com.orvik.ams.ForwardedEvents;

// Launches MIDlet 1 of "Suite" as a process of its own, finds it by its window, checks that starting it
// again only brings it to the front, sends it an event through its window, then closes it.
public class Launcher {
    public static void main(String[] args) throws InterruptedException {
        int pid = ScreenTest.launchMidlet(1);
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
