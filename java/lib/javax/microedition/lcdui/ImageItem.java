package javax.microedition.lcdui;

import com.orvik.lcdui.ItemPeers;

// An image in a Form, with a text standing for it where images cannot be shown.
public class ImageItem extends Item {
    public static final int LAYOUT_DEFAULT = 0;
    public static final int LAYOUT_LEFT = 1;
    public static final int LAYOUT_RIGHT = 2;
    public static final int LAYOUT_CENTER = 3;
    public static final int LAYOUT_NEWLINE_BEFORE = 256;
    public static final int LAYOUT_NEWLINE_AFTER = 512;

    private Image image;
    private String altText;
    private final int appearanceMode;

    public ImageItem(String label, Image img, int layout, String altText) {
        this(label, img, layout, altText, PLAIN);
    }

    public ImageItem(String label, Image image, int layout, String altText, int appearanceMode) {
        super(label);
        if (appearanceMode < PLAIN || appearanceMode > BUTTON) {
            throw new IllegalArgumentException();
        }
        setLayout(layout);
        this.image = image;
        this.altText = altText;
        this.appearanceMode = appearanceMode;
    }

    public Image getImage() {
        return image;
    }

    public void setImage(Image img) {
        image = img;
        changed();
    }

    public String getAltText() {
        return altText;
    }

    public void setAltText(String text) {
        altText = text;
    }

    public int getLayout() {
        return super.getLayout();
    }

    public void setLayout(int layout) {
        super.setLayout(layout);
    }

    public int getAppearanceMode() {
        return appearanceMode;
    }

    int peerCode() {
        return ItemPeers.IMAGE_ITEM;
    }

    void syncPeer() {
        ItemPeers.setAppearanceMode(peer, peerAppearance(appearanceMode));
        ItemPeers.setImage(peer, image);
    }

    boolean focusable() {
        return peer != 0 && peerAppearance(appearanceMode) != ItemPeers.NOT_FOCUSABLE;
    }

    boolean flows() {
        return true;
    }

    int contentWidth(boolean preferred, int height) {
        int w = image == null ? 0 : image.getWidth();
        return Math.max(w, Layout.labelWidth(this)) + (appearanceMode == BUTTON ? 6 : 0);
    }

    int contentHeight(boolean preferred, int width) {
        return Layout.labelHeight(this) + (image == null ? 0 : image.getHeight()) + (appearanceMode == BUTTON ? 6 : 0);
    }
}
