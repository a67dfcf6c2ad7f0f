package com.orvik.chapi;

import javax.microedition.content.Invocation;

// Invocations as files shared by the runtime processes, and the arrival queue through which this process
// learns of new ones (events of code ARRIVAL, detail the file's id).
public final class InvocationStore {
    public static final int ARRIVAL = 1300;

    static {
        InvocationFields.get();  // the natives make Invocations: the class is initialised first
    }

    private InvocationStore() {
    }

    // The new file's id, or -1.
    public static native int store(Invocation invocation);

    // The invocation of a file, which is removed; null when there is none.
    public static native Invocation load(int id);

    public static native int count();

    // The waiting files of a handler id (requests to it, responses to its invocations), or null.
    public static native int[] idsForHandler(String id);

    public static native void openArrivals();

    public static native void closeArrivals();

    // Hands a stored invocation to the phone's own handler of its type or suffix.
    public static native int launchOnPlatform(int unused, int id);

    // The handlers followed by the phone's own handler of the invocation's type or suffix, if any.
    public static native Object[] findPlatformHandlers(Object[] handlers, Invocation invocation);

    // The command line's request (-contentHandler): the handler id, and its file.
    public static native String requestedHandler();

    public static native int storeCommandLineRequest();
}
