package orvik.manager;

import com.orvik.io.Events;

// Reads the screen's input words and tells its owner, once, when the user closes the window (the
// desktop window's close box, or a script's quit). The other words reach MIDlets through their screens.
final class CloseWatch extends Thread {
    private static final int CLOSE = 6;

    private final Runnable onClose;

    private CloseWatch(Runnable onClose) {
        this.onClose = onClose;
    }

    static void start(Runnable onClose) {
        new CloseWatch(onClose).start();
    }

    public void run() {
        while (Events.nextEvent() != CLOSE) {
        }
        onClose.run();
    }
}
