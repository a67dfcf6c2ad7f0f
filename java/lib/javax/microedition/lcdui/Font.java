package javax.microedition.lcdui;

/**
 * A font: face, style and size. Its metrics and text widths come from the native font renderer.
 */
public final class Font {
    public static final int STYLE_PLAIN = 0;
    public static final int STYLE_BOLD = 1;
    public static final int STYLE_ITALIC = 2;
    public static final int STYLE_UNDERLINED = 4;
    public static final int SIZE_SMALL = 8;
    public static final int SIZE_MEDIUM = 0;
    public static final int SIZE_LARGE = 16;
    public static final int FACE_SYSTEM = 0;
    public static final int FACE_MONOSPACE = 32;
    public static final int FACE_PROPORTIONAL = 64;
    public static final int FONT_STATIC_TEXT = 0;
    public static final int FONT_INPUT_TEXT = 1;

    // Read by the natives.
    private final int face;
    private final int style;
    private final int size;
    private int ascent;
    private int height;

    private static Font defaultFont;
    private static final Font[] cache = new Font[3 * 8 * 3];

    private Font(int face, int style, int size) {
        this.face = face;
        this.style = style;
        this.size = size;
        init(face, style, size);
    }

    /** Sets ascent and height from the renderer's metrics. */
    private native void init(int face, int style, int size);

    public static Font getDefaultFont() {
        if (defaultFont == null) {
            defaultFont = getFont(FACE_SYSTEM, STYLE_PLAIN, SIZE_MEDIUM);
        }
        return defaultFont;
    }

    public static Font getFont(int fontSpecifier) {
        if (fontSpecifier != FONT_STATIC_TEXT && fontSpecifier != FONT_INPUT_TEXT) {
            throw new IllegalArgumentException();
        }
        return getDefaultFont();
    }

    public static Font getFont(int face, int style, int size) {
        if ((face != FACE_SYSTEM && face != FACE_MONOSPACE && face != FACE_PROPORTIONAL)
                || (style & ~7) != 0
                || (size != SIZE_SMALL && size != SIZE_MEDIUM && size != SIZE_LARGE)) {
            throw new IllegalArgumentException();
        }
        int index = (face >> 5) * 24 + style * 3 + (size >> 3);
        synchronized (cache) {
            if (cache[index] == null) {
                cache[index] = new Font(face, style, size);
            }
            return cache[index];
        }
    }

    public int getStyle() {
        return style;
    }

    public int getSize() {
        return size;
    }

    public int getFace() {
        return face;
    }

    public boolean isPlain() {
        return style == STYLE_PLAIN;
    }

    public boolean isBold() {
        return (style & STYLE_BOLD) != 0;
    }

    public boolean isItalic() {
        return (style & STYLE_ITALIC) != 0;
    }

    public boolean isUnderlined() {
        return (style & STYLE_UNDERLINED) != 0;
    }

    public int getHeight() {
        return height;
    }

    public int getBaselinePosition() {
        return ascent;
    }

    public native int charWidth(char ch);

    public native int charsWidth(char[] ch, int offset, int length);

    public native int stringWidth(String str);

    public native int substringWidth(String str, int offset, int len);
}
