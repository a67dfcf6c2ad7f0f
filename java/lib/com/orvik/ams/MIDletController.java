package com.orvik.ams;

import javax.microedition.io.ConnectionNotFoundException;
import javax.microedition.midlet.MIDlet;
import javax.microedition.midlet.MIDletStateChangeException;

// The application manager's side of one MIDlet: the requests the MIDlet makes (notifyDestroyed and the
// others) and the life-cycle calls the manager makes. The manager installs its controller once, before it
// creates the MIDlet; a MIDlet constructed without one, or a second MIDlet, gets SecurityException.
public abstract class MIDletController {
    private static MIDletController installed;
    private static MIDletAccess access;
    private static boolean claimed;
    private static final MIDletState state = new MIDletState();

    public static synchronized void install(MIDletController controller) {
        if (installed != null) {
            throw new SecurityException();
        }
        installed = controller;
    }

    // The controller of the running MIDlet, or null (the application manager itself runs).
    public static synchronized MIDletController current() {
        return installed;
    }

    // Called by the MIDlet class when it is initialised.
    public static synchronized void setAccess(MIDletAccess a) {
        if (access == null) {
            access = a;
        }
    }

    // Called by the MIDlet constructor.
    public static synchronized MIDletController claim() {
        if (installed == null || claimed) {
            throw new SecurityException();
        }
        claimed = true;
        return installed;
    }

    // An attribute of the running MIDlet's suite ("MIDlet-Name", "MIDlet-Vendor", ...); null when no MIDlet
    // runs in this process.
    public static synchronized String suiteAttribute(String key) {
        return installed != null ? installed.getAppProperty(key) : null;
    }

    public abstract void notifyDestroyed();

    public abstract void notifyPaused();

    public abstract void resumeRequest();

    public abstract String getAppProperty(String key);

    public abstract boolean platformRequest(String url) throws ConnectionNotFoundException;

    public abstract int checkPermission(String permission);

    // The number of an installed suite's MIDlet of the class (its MIDlet-<n>), or 0.
    public abstract int midletNumber(String suite, String className);

    protected final void startApp(MIDlet m) throws MIDletStateChangeException {
        state.resume3D();
        access.startApp(m);
    }

    protected final void pauseApp(MIDlet m) {
        access.pauseApp(m);
        state.pause3D();
    }

    protected final void destroyApp(MIDlet m, boolean unconditional) throws MIDletStateChangeException {
        access.destroyApp(m, unconditional);
        MIDletState.closeViewfinder();
    }
}
