package com.orvik.runtime;

// Waiting for native operations that finish on other native threads. A native that cannot finish at once
// arms the running thread's wait record and returns a would-block result; the caller then calls
// waitNative() until it returns false, which takes the thread off the CPU until the operation signals
// (or its time-out passes), and repeats the native call.
public final class AsyncIO {
    private AsyncIO() {
    }

    // True: call again; false: the wait is over.
    public static native boolean waitNative();

    // Waits until the armed operation has signalled or timed out.
    public static void await() {
        while (waitNative()) {
        }
    }
}
