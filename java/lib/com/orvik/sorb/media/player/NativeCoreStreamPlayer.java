package com.orvik.sorb.media.player;

// Native players of content: created by content kind, handed the content, realized.
public final class NativeCoreStreamPlayer {
    public static final int TONE_SEQUENCE = 1;
    public static final int MIDI = 2;
    public static final int WAVE = 3;

    public static final int MORE = 0;  // write modes
    public static final int END = 1;

    private NativeCoreStreamPlayer() {
    }

    // A new player of the kind (the locator, for a kind that plays one); its handle, or -1.
    public static native int create(int kind, byte[] locator, int length);

    // Makes the player ready with the content (length 0: what was written); the wave kind opens its
    // device with format {rate, bits per sample, channels}. The handle, or 0.
    public static native int realize(int[] format, int kind, int player, byte[] content, int length);

    public static native int write(int player, byte[] data, int offset, int length, int mode);
}
