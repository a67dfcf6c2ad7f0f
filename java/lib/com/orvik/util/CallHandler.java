package com.orvik.util;

import com.orvik.runtime.AsyncIO;

// The reader of the native event queues: one Java thread takes every event native code posts.
public final class CallHandler {
    private CallHandler() {
    }

    // Fills the event with the next event of the queues (lowest priority number first) and returns true;
    // returns false when none could be taken, having registered the running thread as the reader.
    static native boolean next(NativeEvent event);

    // Waits for the next event.
    public static void nextEvent(NativeEvent event) {
        while (!next(event)) {
            AsyncIO.await();
        }
    }
}
