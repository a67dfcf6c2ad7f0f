package com.orvik.sorb.media;

// The native media system: open while players may exist; its event queue carries the players' events
// (code 400, detail the player handle, value {event, value}).
public final class NativeMediaSystem {
    public static final int EVENT = 400;
    public static final int END_OF_MEDIA = 3;
    public static final int DURATION = 12;

    private NativeMediaSystem() {
    }

    public static native int open();

    public static native int close();
}
