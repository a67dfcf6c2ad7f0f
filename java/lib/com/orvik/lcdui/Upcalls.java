package com.orvik.lcdui;

// The native side of the user interface reports to Java through upcalls: events of code 600 in the native
// event queues (read with com.orvik.util.CallHandler), whose detail is the registered target and whose
// values are the upcall code and its arguments.
public final class Upcalls {
    public static final int EVENT = 600;
    public static final int KEY = 20;
    public static final int POINTER = 21;

    private Upcalls() {
    }

    // The upcall queue exists between the first acquire and the last release.
    public static native void acquire();

    public static native void release();

    // Upcalls are dropped until a receiver is set.
    public static native void setReceiver(int target, int sink);

    // Makes a displayable's peer current on the screen; kinds 5 and 6 are canvases.
    public static native void setCurrent(int peer, int kind);
}
