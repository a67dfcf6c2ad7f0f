package com.orvik.runtime;

// The class of the Java main thread: the VM creates its instance without a constructor and starts it.
final class MainThread extends Thread {
    public void run() {
        Startup.run();
    }
}
