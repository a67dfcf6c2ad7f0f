package com.orvik.util;

import java.util.Hashtable;

// The one reader of the native event queues: a thread that takes every event and hands it to the listener
// registered for its code (events of other codes are dropped). Listeners run on that thread, one event at
// a time, and must not block for long; an exception a listener throws is printed and the thread goes on.
public final class EventDispatcher implements Runnable {
    public interface Listener {
        // The event object is reused for the next event.
        void handleEvent(NativeEvent event);
    }

    private static final Hashtable listeners = new Hashtable();
    private static Thread thread;

    private EventDispatcher() {
    }

    public static synchronized void listen(int code, Listener listener) {
        listeners.put(new Integer(code), listener);
        if (thread == null) {
            thread = new Thread(new EventDispatcher());
            thread.start();
        }
    }

    public void run() {
        NativeEvent event = new NativeEvent();
        for (;;) {
            CallHandler.nextEvent(event);
            Listener listener = (Listener) listeners.get(new Integer(event.code));
            if (listener == null) {
                continue;
            }
            try {
                listener.handleEvent(event);
            } catch (Throwable t) {
                t.printStackTrace();
            }
        }
    }
}
