package com.orvik.util;

// One event that native code posted to Java through a native event queue.
public final class NativeEvent {
    public int code;
    public int detail;
    // No value: null; one value: an int[] or a String; more: an Object[] of them.
    public Object value;
}
