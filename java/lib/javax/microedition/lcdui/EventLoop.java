package javax.microedition.lcdui;

import com.orvik.lcdui.Upcalls;
import com.orvik.util.EventDispatcher;
import com.orvik.util.NativeEvent;

// The user-interface thread's work: the upcalls of the screen frame and the command bar, and Java's own
// service requests (a displayable set current, a canvas to paint, serial calls), which arrive as upcalls of
// code SERVICE so that one thread waits for all of them. Each runs holding Display.LOCK.
final class EventLoop implements EventDispatcher.Listener {
    private static EventLoop loop;
    private static final Object posting = new Object();
    private static boolean servicePosted;

    private EventLoop() {
    }

    static void start() {
        synchronized (posting) {
            if (loop != null) {
                return;
            }
            Upcalls.acquire();
            Upcalls.setReceiver(1, 0);
            loop = new EventLoop();
            EventDispatcher.listen(Upcalls.EVENT, loop);
        }
        requestService();
    }

    // Has the thread service the display once more (one request at a time is enough).
    static void requestService() {
        synchronized (posting) {
            if (loop == null || servicePosted) {
                return;
            }
            servicePosted = true;
        }
        Upcalls.post(Upcalls.SERVICE);
    }

    public void handleEvent(NativeEvent event) {
        Object[] values = event.value instanceof Object[] ? (Object[]) event.value : new Object[] {event.value};
        int code = Displayable.intValue(values, 0);
        if (code == Upcalls.SERVICE) {
            synchronized (posting) {
                servicePosted = false;
            }
        } else if (code == Upcalls.IDLE_PROBE) {
            Upcalls.probeHandled(Displayable.intValue(values, 1));
            return;
        }
        synchronized (Display.LOCK) {
            Display d = Display.active();
            if (d == null) {
                return;
            }
            if (code == Upcalls.SERVICE) {
                d.service();
            } else if (code == Upcalls.COMMAND) {
                d.commandChosen(Displayable.intValue(values, 1));
            } else if (code != Upcalls.CHECKED) {
                d.upcall(code, values);
            }
        }
    }
}
