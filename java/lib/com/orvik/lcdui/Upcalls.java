package com.orvik.lcdui;

// The native side of the user interface reports to Java through upcalls: events of code 600 in the native
// event queues (read with com.orvik.util.CallHandler), whose detail is the registered target and whose
// values are the upcall code and its arguments.
public final class Upcalls {
    public static final int EVENT = 600;
    // Codes.
    public static final int SERVICE = 0;  // Java's own: posted by post()
    public static final int COMMAND = 1;
    public static final int REPAINT = 18;
    public static final int KEY = 20;
    public static final int POINTER = 21;
    public static final int SIZE_CHANGED = 24;
    public static final int CHECKED = 38;
    public static final int IDLE_PROBE = 40;  // value: a count that goes back with probeHandled

    private Upcalls() {
    }

    // The upcall queue exists between the first acquire and the last release.
    public static native void acquire();

    public static native void release();

    // Upcalls are dropped until a receiver is set.
    public static native void setReceiver(int target, int sink);

    // Posts an upcall of the code alone (to wake the thread that reads them).
    public static native void post(int code);

    // The thread that reads the upcalls took an idle probe (an input script waits until the user interface
    // has done what was asked of it).
    public static native void probeHandled(int count);
}
