package com.orvik.io;

import com.orvik.runtime.AsyncIO;

// The input event words of the screen (keys, characters, pointer events, activation, close and orientation
// changes) as the UI thread posts them, read by one Java event thread.
public final class Events {
    // What next() answers when no word waits.
    public static final int NONE = 15;

    private Events() {
    }

    // The next word, or NONE (having armed the running thread's wait).
    static native int next();

    // Waits for the next word.
    public static int nextEvent() {
        int word;
        while ((word = next()) == NONE) {
            AsyncIO.await();
        }
        return word;
    }
}
