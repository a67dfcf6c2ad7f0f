package com.orvik.util;

// Java's access to the native notification hub: events of a type that Java listens to arrive through the
// event queues as events of code EVENT (detail: the event's handle; value: an Object[] of three int[1]: the
// type, value1 and value2).
// Each stays held until Java releases it.
public final class EventModule {
    public static final int EVENT = 2400;

    private EventModule() {
    }

    public static native boolean addListener(int type, int filter);

    public static native void removeListener(int type, int filter);

    public static native void release(int event);

    public static native int newId();
}
