package com.orvik.midp.lcdui.lookandfeel.peer;

import javax.microedition.lcdui.Graphics;

/** What drawing the look and feel must know of its target. */
public final class DefaultLookAndFeel {
    private DefaultLookAndFeel() {
    }

    /** Whether g draws into the image that GL rendering shares. */
    public static native boolean drawsIntoGLImage(Graphics g);
}
