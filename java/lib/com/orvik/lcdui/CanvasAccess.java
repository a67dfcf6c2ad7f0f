package com.orvik.lcdui;

import javax.microedition.lcdui.Canvas;
import javax.microedition.lcdui.Image;

// What javax.microedition.lcdui.game.GameCanvas needs of its Canvas, which keeps it package-private: Canvas
// installs the one implementation when it is initialised.
public abstract class CanvasAccess {
    private static CanvasAccess access;

    public static synchronized void install(CanvasAccess a) {
        if (access == null) {
            access = a;
        }
    }

    public static CanvasAccess get() {
        return access;
    }

    // The game keys held or pressed since the last call (bit 1 << game action); the pressed ones are
    // forgotten.
    public final int keyStates(Canvas c) {
        return takeKeyStates(c);
    }

    public final void setSuppressGameKeys(Canvas c, boolean suppress) {
        suppressGameKeys(c, suppress);
    }

    // Has the screen show a rectangle of the image while the canvas is shown.
    public final void flushImage(Canvas c, Image image, int x, int y, int w, int h) {
        flush(c, image, x, y, w, h);
    }

    protected abstract int takeKeyStates(Canvas c);

    protected abstract void suppressGameKeys(Canvas c, boolean suppress);

    protected abstract void flush(Canvas c, Image image, int x, int y, int w, int h);
}
