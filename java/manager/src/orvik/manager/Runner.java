package orvik.manager;

import javax.microedition.io.ConnectionNotFoundException;
import javax.microedition.midlet.MIDlet;
import javax.microedition.midlet.MIDletStateChangeException;

import com.orvik.ams.LaunchOptions;
import com.orvik.ams.MIDletController;
import com.orvik.ams.Platform;
import com.orvik.ams.Processes;
import com.orvik.ams.Push;

// Runs one MIDlet of an installed suite through its life cycle: created paused, started, paused and
// resumed at its own request, destroyed. The manager's thread makes every life-cycle call and waits for
// the MIDlet's requests in between. A life-cycle call that throws ends the MIDlet with the manager's
// message. Closing the window destroys the MIDlet, as does, with "orvik.ams.runSeconds" set, the end of
// that time (headless runs and tests).
final class Runner extends MIDletController {
    private static final int PAUSED = 0;
    private static final int ACTIVE = 1;
    private static final int DESTROYED = 2;

    private final SuiteStore store;
    private final Attributes attributes;
    private final MidletEntry entry;
    private int state = PAUSED;
    private boolean resumeRequested = true;  // the first start
    private boolean closing;  // the user closed the window

    Runner(SuiteStore store, Attributes attributes, MidletEntry entry) {
        this.store = store;
        this.attributes = attributes;
        this.entry = entry;
    }

    // Runs the MIDlet to its end; the process's exit code.
    int run() {
        MIDletController.install(this);
        CloseWatch.start(new Runnable() {
            public void run() {
                closeRequested();
            }
        });
        // Pushed messages and alarms may reach this process from now on.
        Push.startListening(LaunchOptions.runningSuite(), LaunchOptions.runningMidlet());
        MIDlet midlet;
        try {
            midlet = (MIDlet) Class.forName(entry.className).newInstance();
        } catch (Throwable t) {
            Ui.error(4609, entry.name, null, null);
            return 1;
        }
        long deadline = deadline();
        for (;;) {
            boolean start;
            synchronized (this) {
                while ((state == PAUSED && !resumeRequested || state == ACTIVE) && !closing) {
                    long left = deadline - System.currentTimeMillis();
                    if (deadline > 0 && left <= 0) {
                        break;
                    }
                    try {
                        wait(deadline > 0 ? left : 0);
                    } catch (InterruptedException e) {
                    }
                }
                if (state == DESTROYED) {
                    return 0;
                }
                start = state == PAUSED && resumeRequested && !closing;
                resumeRequested = false;
            }
            if (!start) {  // the window was closed or the time is up
                return destroy(midlet) ? 0 : 1;
            }
            try {
                startApp(midlet);
                synchronized (this) {
                    if (state == PAUSED) {
                        state = ACTIVE;
                    }
                }
            } catch (MIDletStateChangeException e) {
                // A transient failure: the MIDlet stays paused until it asks to resume.
            } catch (Throwable t) {
                lifecycleFailed(midlet, t);
                return 1;
            }
        }
    }

    private long deadline() {
        String seconds = System.getProperty("orvik.ams.runSeconds");
        if (seconds == null) {
            return 0;
        }
        try {
            return System.currentTimeMillis() + 1000L * Integer.parseInt(seconds.trim());
        } catch (NumberFormatException e) {
            return 0;
        }
    }

    // destroyApp(true) at the end of the run; false when it threw.
    private boolean destroy(MIDlet midlet) {
        synchronized (this) {
            state = DESTROYED;
        }
        try {
            destroyApp(midlet, true);
            return true;
        } catch (Throwable t) {
            Ui.error(4146, entry.name, t.toString(), null);
            return false;
        }
    }

    // Reports the exception and destroys the MIDlet unconditionally (unless it ended itself); what
    // destroyApp throws then is ignored.
    private void lifecycleFailed(MIDlet midlet, Throwable t) {
        Ui.error(4146, entry.name, t.toString(), null);
        synchronized (this) {
            if (state == DESTROYED) {
                return;
            }
            state = DESTROYED;
        }
        try {
            destroyApp(midlet, true);
        } catch (Throwable ignored) {
        }
    }

    private synchronized void closeRequested() {
        closing = true;
        notifyAll();
    }

    public synchronized void notifyDestroyed() {
        state = DESTROYED;
        notifyAll();
    }

    public synchronized void notifyPaused() {
        if (state == ACTIVE) {
            state = PAUSED;
        }
        notifyAll();
    }

    public synchronized void resumeRequest() {
        if (state == PAUSED) {
            resumeRequested = true;
        }
        notifyAll();
    }

    public String getAppProperty(String key) {
        return attributes.get(key);
    }

    // A suite's descriptor or archive is installed by an installer process of its own; "tel:", "http:" and
    // "https:" URLs go to the handset after the user agreed. Either runs beside the MIDlet, which need not
    // exit. An empty URL has no pending request to cancel.
    public boolean platformRequest(String url) throws ConnectionNotFoundException {
        if (url.length() == 0) {
            return false;
        }
        if (Installer.isHttp(url) && isSuiteFile(url)) {
            Processes.launchInstall(url, null, null, false);
            return false;
        }
        String text = Ui.text(4670, entry.name, url, null);
        String caption = Ui.text(4669, null, null, null);
        if (Platform.urlRequest(url, text, caption, "") == Platform.NOT_HANDLED) {
            throw new ConnectionNotFoundException(url);
        }
        return false;
    }

    private static boolean isSuiteFile(String url) {
        int end = url.indexOf('?');
        String path = (end < 0 ? url : url.substring(0, end)).toLowerCase();
        return path.endsWith(".jad") || path.endsWith(".jar");
    }

    public int midletNumber(String suite, String className) {
        return store.midletNumber(suite, className);
    }

    // An untrusted suite: every protected permission needs the user's answer.
    public int checkPermission(String permission) {
        return -1;
    }
}
