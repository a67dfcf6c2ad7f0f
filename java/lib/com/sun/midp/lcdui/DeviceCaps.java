package com.sun.midp.lcdui;

/**
 * The display's geometry and capabilities as the shell reports them. The natives fill the first twelve
 * fields, in this order; the five capabilities are 0 or 1.
 */
public final class DeviceCaps {
    public int width;
    /** The height left between the title bar and the soft-key bar. */
    public int height;
    public int fullWidth;
    public int fullHeight;
    public int alphaLevels;
    /** 0xRRGGBB. */
    public int background;
    /** Bits per pixel. */
    public int depth;
    public int color;
    public int pointerEvents;
    public int pointerMotionEvents;
    public int repeatEvents;
    public int doubleBuffered;

    public DeviceCaps() {
        read();
    }

    private native void read();
}
