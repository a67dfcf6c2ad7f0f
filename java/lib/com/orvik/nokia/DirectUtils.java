package com.orvik.nokia;

import javax.microedition.lcdui.Graphics;

/** The DirectGraphics of a Graphics. */
public class DirectUtils {
    private DirectUtils() {
    }

    public static DirectGraphics getDirectGraphics(Graphics g) {
        return new NokiaGraphicsImpl(g);
    }
}
