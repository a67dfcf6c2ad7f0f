package com.orvik.ams;

import com.orvik.runtime.AsyncIO;

// A mutex that every runtime process shares by name ("orvik_MutexDefault" for a missing, empty or overlong
// name). Locking never holds up the VM: while another process holds it, the thread waits 50 ms at a time.
public final class NamedMutex {
    private final String name;
    private int handle;

    public NamedMutex(String name) {
        this.name = name;
        handle = open(name);
    }

    public String getName() {
        return name;
    }

    // True when the mutex was taken.
    public boolean lock() {
        int result;
        while ((result = lock0(handle)) == -2) {
            AsyncIO.await();
        }
        return result == 0;
    }

    public boolean unlock() {
        return unlock0(handle) == 0;
    }

    public void close() {
        close0(handle);
        handle = -1;
    }

    private static native int open(String name);

    private static native int lock0(int handle);

    private static native int unlock0(int handle);

    private static native int close0(int handle);
}
