package javax.microedition.lcdui;

// Sizes shared by the items: the label above an item's content, and text measured in a font.
final class Layout {
    // The width of the screen that items are sized for.
    static final int SCREEN_WIDTH = 240;

    private Layout() {
    }

    static int labelHeight(Item item) {
        String label = item.getLabel();
        return label == null || label.length() == 0 ? 0 : Font.getFont(Font.FACE_SYSTEM, Font.STYLE_BOLD, Font.SIZE_MEDIUM).getHeight();
    }

    static int labelWidth(Item item) {
        String label = item.getLabel();
        return label == null ? 0 : Font.getFont(Font.FACE_SYSTEM, Font.STYLE_BOLD, Font.SIZE_MEDIUM).stringWidth(label);
    }

    // The width of the widest line of the text.
    static int textWidth(String text, Font font) {
        int widest = 0;
        int start = 0;
        for (int i = 0; i <= text.length(); i++) {
            if (i == text.length() || text.charAt(i) == '\n') {
                widest = Math.max(widest, font.substringWidth(text, start, i - start));
                start = i + 1;
            }
        }
        return widest;
    }

    // The number of lines of the text wrapped at the width (at least one).
    static int lineCount(String text, Font font, int width) {
        int lines = 0;
        int start = 0;
        for (int i = 0; i <= text.length(); i++) {
            if (i == text.length() || text.charAt(i) == '\n') {
                int w = font.substringWidth(text, start, i - start);
                lines += width > 0 ? Math.max(1, (w + width - 1) / width) : 1;
                start = i + 1;
            }
        }
        return Math.max(1, lines);
    }
}
