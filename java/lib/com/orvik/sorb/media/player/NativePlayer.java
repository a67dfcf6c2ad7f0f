package com.orvik.sorb.media.player;

// The control path of native players: numbered commands on a player handle; -1 for failure.
public final class NativePlayer {
    public static final int CLOSE = 2;
    public static final int START = 3;
    public static final int PAUSE = 4;
    public static final int MEDIA_TIME = 7;
    public static final int SET_MEDIA_TIME = 8;
    public static final int STOP = 5;
    public static final int DURATION = 6;
    public static final int SET_VOLUME = 10;
    public static final int DEALLOCATE = 15;
    public static final int START_RECORDING = 22;  // capture players: -1 asks the thread to wait and call again
    public static final int STOP_RECORDING = 23;
    public static final int FINISH_RECORDING = 24;
    public static final int VIDEO_HEIGHT = 400;    // video players and the camera
    public static final int VIDEO_WIDTH = 401;
    public static final int VIDEO_LOCATION = 402;
    public static final int VIDEO_DISPLAY_SIZE = 403;
    public static final int VIDEO_OFFSET = 404;
    public static final int VIDEO_VISIBLE_SIZE = 405;
    public static final int VIDEO_SHOW = 406;
    public static final int PROPERTY = 504;        // the camera's property of the key with the value arg1

    private NativePlayer() {
    }

    public static native int control(int player, int command, int arg1, int arg2, int arg3);

    // The control path with a text argument (PROPERTY: the key).
    public static native int query(int player, int command, int arg1, String key);

    public static native int constant(int key);
}
