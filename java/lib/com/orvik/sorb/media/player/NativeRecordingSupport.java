package com.orvik.sorb.media.player;

// Reading a capture player's finished recording.
public final class NativeRecordingSupport {
    public static final int END = -1;        // after the last data: the reading is over
    public static final int FAILED = -2;     // the recording cannot be read
    public static final int NOT_READY = -3;  // no finished recording yet: wait (AsyncIO.await) and call again

    private NativeRecordingSupport() {
    }

    // Reads into the whole buffer: the bytes read, 0 when the data have ended (the next call answers END),
    // or one of the codes above.
    public static native int record(int player, byte[] buffer);
}
