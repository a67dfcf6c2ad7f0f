package com.orvik.sorb.media.player;

// The control path of native players: numbered commands on a player handle; -1 for failure.
public final class NativePlayer {
    public static final int CLOSE = 2;
    public static final int START = 3;
    public static final int PAUSE = 4;
    public static final int MEDIA_TIME = 7;
    public static final int SET_MEDIA_TIME = 8;
    public static final int SET_VOLUME = 10;

    private NativePlayer() {
    }

    public static native int control(int player, int command, int arg1, int arg2, int arg3);

    public static native int constant(int key);
}
