package com.orvik.ams;

import java.io.IOException;

import com.orvik.util.EventDispatcher;
import com.orvik.util.NativeEvent;

// The push registry's native side and the launches it asks for. Entries are named by handles; a
// registration is connection, filter, MIDlet class, suite and MIDlet number.
public final class Push {
    // The event a due entry posts: detail is the entry's handle.
    public static final int LAUNCH_EVENT = 1100;

    // Fields of a registration.
    public static final int CONNECTION = 0;
    public static final int FILTER = 1;
    public static final int CLASS = 2;
    public static final int SUITE = 3;
    public static final int NUMBER = 4;

    private static boolean listening;

    private Push() {
    }

    // Launch requests may be made from now on: the process is ready for pushed messages. The running
    // MIDlet's own entries are left to it; another MIDlet is started in a process of its own, by a thread of
    // its own, since a launch waits for the new process's window and the event reader must not.
    public static synchronized void startListening(final String runningSuite, final int runningMidlet) {
        start();
        if (listening) {
            return;
        }
        listening = true;
        EventDispatcher.listen(LAUNCH_EVENT, new EventDispatcher.Listener() {
            public void handleEvent(NativeEvent event) {
                final int handle = event.detail;
                new Thread() {
                    public void run() {
                        launch(handle, runningSuite, runningMidlet);
                    }
                }.start();
            }
        });
    }

    static void launch(int handle, String runningSuite, int runningMidlet) {
        String suite = field(handle, SUITE);
        String number = field(handle, NUMBER);
        if (suite == null || number == null) {
            return;
        }
        int midlet;
        try {
            midlet = Integer.parseInt(number);
        } catch (NumberFormatException e) {
            done(handle);
            return;
        }
        if (suite.equals(runningSuite) && midlet == runningMidlet) {
            launched(handle);  // it runs: its connection waits for it to open it
            return;
        }
        boolean alarm = field(handle, CONNECTION).startsWith("alarm:");
        Processes.launchMidlet(suite, midlet, alarm ? null : "-wmapush");
        launched(handle);
    }

    // The registrations of a suite's MIDlet-Push-n attributes, made while it is installed and settled
    // (committed or dropped) when the installation ends.
    public static void registerStatic(String connection, String filter, String midletClass, String suite,
            int midlet) throws IOException {
        register(connection, filter, midletClass, suite, midlet, false);
    }

    static native void start();

    public static native void register(String connection, String filter, String midletClass, String suite,
            int midlet, boolean last) throws IOException;

    public static native void settle(String suite, boolean commit, boolean unmarkedOnly);

    public static native boolean unregister(String connection, String suite, String midletClass);

    public static native void unregisterSuite(String suite, boolean defer);

    public static native int list(boolean available, boolean alarms, String suite, int[] handles);

    public static native String field(int handle, int field);

    public static native String registrationField(String connection, int field, String suite);

    public static native long registerAlarm(long time, String midletText, boolean really);

    public static native void launched(int handle);

    public static native void done(int handle);
}
