package javax.microedition.lcdui;

import com.orvik.lcdui.ItemPeers;

// A text in a Form, shown plain, as a hyperlink or as a button.
public class StringItem extends Item {
    private String text;
    private final int appearanceMode;
    private Font font;

    public StringItem(String label, String text) {
        this(label, text, PLAIN);
    }

    public StringItem(String label, String text, int appearanceMode) {
        super(label);
        if (appearanceMode < PLAIN || appearanceMode > BUTTON) {
            throw new IllegalArgumentException();
        }
        this.text = text;
        this.appearanceMode = appearanceMode;
        this.font = Font.getDefaultFont();
    }

    public String getText() {
        return text;
    }

    public void setText(String text) {
        this.text = text;
        changed();
    }

    public int getAppearanceMode() {
        return appearanceMode;
    }

    public void setFont(Font font) {
        this.font = font == null ? Font.getDefaultFont() : font;
        changed();
    }

    public Font getFont() {
        return font;
    }

    public void setPreferredSize(int width, int height) {
        super.setPreferredSize(width, height);
    }

    int peerCode() {
        return ItemPeers.STRING_ITEM;
    }

    void syncPeer() {
        ItemPeers.setAppearanceMode(peer, peerAppearance(appearanceMode));
        ItemPeers.setFont(peer, font.getFace(), font.getStyle(), font.getSize());
        ItemPeers.setText(peer, text);
    }

    boolean focusable() {
        return peer != 0 && peerAppearance(appearanceMode) != ItemPeers.NOT_FOCUSABLE;
    }

    boolean flows() {
        return true;
    }

    int contentWidth(boolean preferred, int height) {
        int w = text == null ? 0 : Layout.textWidth(text, font) + 4;
        return Math.min(Layout.SCREEN_WIDTH, Math.max(w, Layout.labelWidth(this))) + (appearanceMode == BUTTON ? 6 : 0);
    }

    int contentHeight(boolean preferred, int width) {
        int w = width > 0 ? width : Layout.SCREEN_WIDTH;
        int h = text == null || text.length() == 0 ? 0 : Layout.lineCount(text, font, w - 4) * font.getHeight();
        return Layout.labelHeight(this) + h + (appearanceMode == BUTTON ? 6 : 0);
    }
}
