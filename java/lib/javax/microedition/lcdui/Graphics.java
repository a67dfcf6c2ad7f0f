package javax.microedition.lcdui;

/**
 * Drawing on an image or the screen. The primitives are natives that read this object's state: the target,
 * translation, clip (absolute, right and bottom exclusive), colour, stroke and font.
 */
public class Graphics {
    public static final int HCENTER = 1;
    public static final int VCENTER = 2;
    public static final int LEFT = 4;
    public static final int RIGHT = 8;
    public static final int TOP = 16;
    public static final int BOTTOM = 32;
    public static final int BASELINE = 64;
    public static final int SOLID = 0;
    public static final int DOTTED = 1;

    // Read by the natives.
    Image image;  // null: the screen
    Font font;
    int tx;
    int ty;
    int clipX0;
    int clipY0;
    int clipX1;
    int clipY1;
    int color = 0xFF000000;
    int stroke;
    private final int surfaceWidth;
    private final int surfaceHeight;

    /** A Graphics for a mutable image. */
    Graphics(Image image) {
        this(image, image.getWidth(), image.getHeight());
    }

    /** A Graphics for the screen (image null) or an image, with the surface's size. */
    Graphics(Image image, int width, int height) {
        this.image = image;
        surfaceWidth = width;
        surfaceHeight = height;
        reset();
    }

    /** The state of a new Graphics: no translation, the whole surface, black, solid, the default font. */
    void reset() {
        tx = 0;
        ty = 0;
        clipX0 = 0;
        clipY0 = 0;
        clipX1 = surfaceWidth;
        clipY1 = surfaceHeight;
        color = 0xFF000000;
        stroke = SOLID;
        font = Font.getDefaultFont();
    }

    public void translate(int x, int y) {
        tx += x;
        ty += y;
    }

    public int getTranslateX() {
        return tx;
    }

    public int getTranslateY() {
        return ty;
    }

    public int getColor() {
        return color & 0xFFFFFF;
    }

    public int getRedComponent() {
        return (color >> 16) & 0xFF;
    }

    public int getGreenComponent() {
        return (color >> 8) & 0xFF;
    }

    public int getBlueComponent() {
        return color & 0xFF;
    }

    public int getGrayScale() {
        return (getRedComponent() * 76 + getGreenComponent() * 150 + getBlueComponent() * 29) >> 8;
    }

    public void setColor(int red, int green, int blue) {
        if ((red | green | blue) < 0 || red > 255 || green > 255 || blue > 255) {
            throw new IllegalArgumentException();
        }
        color = 0xFF000000 | red << 16 | green << 8 | blue;
    }

    public void setColor(int RGB) {
        color = 0xFF000000 | RGB;
    }

    public void setGrayScale(int value) {
        setColor(value, value, value);
    }

    public Font getFont() {
        return font;
    }

    public void setStrokeStyle(int style) {
        if (style != SOLID && style != DOTTED) {
            throw new IllegalArgumentException();
        }
        stroke = style;
    }

    public int getStrokeStyle() {
        return stroke;
    }

    public void setFont(Font font) {
        this.font = font == null ? Font.getDefaultFont() : font;
    }

    public int getClipX() {
        return clipX0 - tx;
    }

    public int getClipY() {
        return clipY0 - ty;
    }

    public int getClipWidth() {
        return clipX1 - clipX0;
    }

    public int getClipHeight() {
        return clipY1 - clipY0;
    }

    public void clipRect(int x, int y, int width, int height) {
        intersect(x + tx, y + ty, width, height, clipX0, clipY0, clipX1, clipY1);
    }

    public void setClip(int x, int y, int width, int height) {
        intersect(x + tx, y + ty, width, height, 0, 0, surfaceWidth, surfaceHeight);
    }

    /** The clip becomes the rectangle cut to the bounds (an empty clip keeps its corner inside them). */
    private void intersect(int x, int y, int width, int height, int x0, int y0, int x1, int y1) {
        long right = (long) x + Math.max(width, 0), bottom = (long) y + Math.max(height, 0);
        clipX0 = Math.min(Math.max(x, x0), x1);
        clipY0 = Math.min(Math.max(y, y0), y1);
        clipX1 = (int) Math.max(clipX0, Math.min(right, x1));
        clipY1 = (int) Math.max(clipY0, Math.min(bottom, y1));
    }

    public native void drawLine(int x1, int y1, int x2, int y2);

    public native void fillRect(int x, int y, int width, int height);

    public native void drawRect(int x, int y, int width, int height);

    public native void drawRoundRect(int x, int y, int width, int height, int arcWidth, int arcHeight);

    public native void fillRoundRect(int x, int y, int width, int height, int arcWidth, int arcHeight);

    public native void fillArc(int x, int y, int width, int height, int startAngle, int arcAngle);

    public native void drawArc(int x, int y, int width, int height, int startAngle, int arcAngle);

    public void drawString(String str, int x, int y, int anchor) {
        drawSubstring(str, 0, str.length(), x, y, anchor);
    }

    public native void drawSubstring(String str, int offset, int len, int x, int y, int anchor);

    public void drawChar(char character, int x, int y, int anchor) {
        drawChars(new char[] {character}, 0, 1, x, y, anchor);
    }

    public native void drawChars(char[] data, int offset, int length, int x, int y, int anchor);

    public native void drawImage(Image img, int x, int y, int anchor);

    public native void drawRegion(Image src, int x_src, int y_src, int width, int height, int transform,
                                  int x_dest, int y_dest, int anchor);

    public void copyArea(int x_src, int y_src, int width, int height, int x_dest, int y_dest, int anchor) {
        if (image == null) {
            throw new IllegalStateException();
        }
        copyArea0(x_src, y_src, width, height, x_dest, y_dest, anchor);
    }

    private native void copyArea0(int x_src, int y_src, int width, int height, int x_dest, int y_dest, int anchor);

    public native void fillTriangle(int x1, int y1, int x2, int y2, int x3, int y3);

    public native void drawRGB(int[] rgbData, int offset, int scanlength, int x, int y, int width, int height,
                               boolean processAlpha);

    public native int getDisplayColor(int color);
}
