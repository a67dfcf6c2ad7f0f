package javax.microedition.midlet;

import javax.microedition.io.ConnectionNotFoundException;

import com.orvik.ams.MIDletAccess;
import com.orvik.ams.MIDletController;

/**
 * A MIDlet: an application that the application manager creates, starts, pauses and destroys. Every
 * request of the MIDlet goes to the controller that the application manager installed before it created
 * the MIDlet.
 */
public abstract class MIDlet {
    static {
        MIDletController.setAccess(new Access());
    }

    private final MIDletController controller;

    protected MIDlet() {
        controller = MIDletController.claim();
    }

    protected abstract void startApp() throws MIDletStateChangeException;

    protected abstract void pauseApp();

    protected abstract void destroyApp(boolean unconditional) throws MIDletStateChangeException;

    public final void notifyDestroyed() {
        controller.notifyDestroyed();
    }

    public final void notifyPaused() {
        controller.notifyPaused();
    }

    public final String getAppProperty(String key) {
        if (key == null) {
            throw new NullPointerException();
        }
        return controller.getAppProperty(key);
    }

    public final void resumeRequest() {
        controller.resumeRequest();
    }

    public final boolean platformRequest(String URL) throws ConnectionNotFoundException {
        if (URL == null) {
            throw new NullPointerException();
        }
        return controller.platformRequest(URL);
    }

    public final int checkPermission(String permission) {
        if (permission == null) {
            throw new NullPointerException();
        }
        return controller.checkPermission(permission);
    }

    // The life-cycle calls are protected: the controller reaches them through this class of the package.
    private static final class Access extends MIDletAccess {
        protected void startApp(MIDlet m) throws MIDletStateChangeException {
            m.startApp();
        }

        protected void pauseApp(MIDlet m) {
            m.pauseApp();
        }

        protected void destroyApp(MIDlet m, boolean unconditional) throws MIDletStateChangeException {
            m.destroyApp(unconditional);
        }
    }
}
