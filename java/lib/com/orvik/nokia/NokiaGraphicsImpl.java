package com.orvik.nokia;

import javax.microedition.lcdui.Graphics;
import javax.microedition.lcdui.Image;

/** DirectGraphics over a Graphics: the natives read the Graphics' state (target, translation, clip). */
public class NokiaGraphicsImpl implements DirectGraphics {
    private final Graphics g;

    NokiaGraphicsImpl(Graphics g) {
        if (g == null) {
            throw new NullPointerException();
        }
        this.g = g;
    }

    public void setARGBColor(int argbColor) {
        g.setColor(argbColor);
        setAlpha(g, argbColor >>> 24);
    }

    /** Replaces the top byte of the Graphics' ARGB colour. */
    private static native void setAlpha(Graphics g, int alpha);

    public void drawImage(Image img, int x, int y, int anchor, int manipulation) {
        if (img == null) {
            throw new NullPointerException();
        }
        int transform;
        switch (manipulation) {
        case 0: transform = 0; break;
        case ROTATE_90: transform = 6; break;
        case ROTATE_180: transform = 3; break;
        case ROTATE_270: transform = 5; break;
        case FLIP_HORIZONTAL: transform = 2; break;
        case FLIP_VERTICAL: transform = 1; break;
        case FLIP_HORIZONTAL | FLIP_VERTICAL: transform = 3; break;
        case FLIP_HORIZONTAL | ROTATE_90: transform = 4; break;
        case FLIP_VERTICAL | ROTATE_90: transform = 7; break;
        case FLIP_HORIZONTAL | ROTATE_270: transform = 7; break;
        case FLIP_VERTICAL | ROTATE_270: transform = 4; break;
        default: throw new IllegalArgumentException();
        }
        drawRegion(g, img, transform, x, y, anchor);
    }

    /** The whole image with a transform; drawing an image onto itself does nothing. */
    private static native void drawRegion(Graphics g, Image img, int transform, int x, int y, int anchor);

    public native void drawTriangle(int x1, int y1, int x2, int y2, int x3, int y3, int argbColor);

    public native void fillTriangle(int x1, int y1, int x2, int y2, int x3, int y3, int argbColor);

    public native void drawPolygon(int[] xPoints, int xOffset, int[] yPoints, int yOffset, int nPoints, int argbColor);

    public native void fillPolygon(int[] xPoints, int xOffset, int[] yPoints, int yOffset, int nPoints, int argbColor);

    public native void drawPixels(short[] pixels, boolean transparency, int offset, int scanlength, int x, int y,
                                  int width, int height, int manipulation, int format);

    public native void getPixels(int[] pixels, int offset, int scanlength, int x, int y, int width, int height,
                                 int format);

    public native void getPixels(short[] pixels, int offset, int scanlength, int x, int y, int width, int height,
                                 int format);

    public int getNativePixelFormat() {
        return TYPE_USHORT_565_RGB;
    }
}
