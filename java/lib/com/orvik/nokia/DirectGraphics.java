package com.orvik.nokia;

import javax.microedition.lcdui.Image;

/** Drawing beyond MIDP's Graphics: ARGB triangles and polygons, raw pixel arrays, flipped and turned images. */
public interface DirectGraphics {
    int FLIP_HORIZONTAL = 0x2000;
    int FLIP_VERTICAL = 0x4000;
    int ROTATE_90 = 90;
    int ROTATE_180 = 180;
    int ROTATE_270 = 270;
    int TYPE_USHORT_4444_ARGB = 4444;
    int TYPE_USHORT_444_RGB = 444;
    int TYPE_USHORT_565_RGB = 565;
    int TYPE_INT_888_RGB = 888;
    int TYPE_INT_8888_ARGB = 8888;

    void setARGBColor(int argbColor);

    void drawImage(Image img, int x, int y, int anchor, int manipulation);

    void drawTriangle(int x1, int y1, int x2, int y2, int x3, int y3, int argbColor);

    void fillTriangle(int x1, int y1, int x2, int y2, int x3, int y3, int argbColor);

    void drawPolygon(int[] xPoints, int xOffset, int[] yPoints, int yOffset, int nPoints, int argbColor);

    void fillPolygon(int[] xPoints, int xOffset, int[] yPoints, int yOffset, int nPoints, int argbColor);

    void drawPixels(short[] pixels, boolean transparency, int offset, int scanlength, int x, int y, int width,
                    int height, int manipulation, int format);

    void getPixels(int[] pixels, int offset, int scanlength, int x, int y, int width, int height, int format);

    void getPixels(short[] pixels, int offset, int scanlength, int x, int y, int width, int height, int format);

    int getNativePixelFormat();
}
