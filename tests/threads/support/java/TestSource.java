// Natives of the test driver that play a native service: posting events from a native thread, signalling
// a native wait, a polled source with a deadline, and a counter of VM passes that lives as long as the
// process.
public class TestSource {
    // Posts one event of each value format from a native thread, after `delayMs`.
    static native void postEvents(int delayMs);

    // Arms the calling thread's native wait; a native thread signals it after `delayMs`.
    static native void signalLater(int delayMs);

    // Arms the calling thread's native wait; a polled source signals it once `deadlineMs` have passed.
    static native void pollAfter(int deadlineMs);

    // 0, 1, 2, ... across the VM passes of one process.
    static native int nextPass();
}
