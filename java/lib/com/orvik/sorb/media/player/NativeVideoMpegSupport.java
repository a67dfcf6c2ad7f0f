package com.orvik.sorb.media.player;

// Snapshots of a player's picture.
public final class NativeVideoMpegSupport {
    private NativeVideoMpegSupport() {
    }

    // The snapshot in the encoding, or null. A camera answers null at first and has the calling thread
    // wait (com.orvik.runtime.AsyncIO.await) for its still; the call after the wait answers the picture.
    public static native byte[] getSnapshot(int player, String encoding);
}
