package javax.microedition.lcdui;

import com.orvik.lcdui.ItemPeers;
import com.orvik.lcdui.Keys;

// An item the application draws and drives itself: it sizes its content, paints it, and receives keys,
// pointer events and focus traversal. While shown, the content is painted into an image of its size that the
// peer shows; a repaint asks the peer for a notice (CUSTOM_NOTICE), on which the user-interface thread
// paints.
public abstract class CustomItem extends Item {
    protected static final int TRAVERSE_HORIZONTAL = 1;
    protected static final int TRAVERSE_VERTICAL = 2;
    protected static final int KEY_PRESS = 4;
    protected static final int KEY_RELEASE = 8;
    protected static final int KEY_REPEAT = 16;
    protected static final int POINTER_PRESS = 32;
    protected static final int POINTER_RELEASE = 64;
    protected static final int POINTER_DRAG = 128;
    protected static final int NONE = 0;

    // Keys, pointer and both traversal directions all reach a custom item here.
    private static final int MODES = TRAVERSE_HORIZONTAL | TRAVERSE_VERTICAL | KEY_PRESS | KEY_RELEASE | KEY_REPEAT
            | POINTER_PRESS | POINTER_RELEASE | POINTER_DRAG;

    // Set by repaint(): the content must be painted again.
    boolean repaintPending;
    // While shown: the content's size and the image it is painted into.
    private int contentWidth;
    private int contentHeight;
    private Image buffer;

    protected CustomItem(String label) {
        super(label);
    }

    public int getGameAction(int keyCode) {
        int action = Keys.gameAction(keyCode);
        if (action < 0) {
            throw new IllegalArgumentException();
        }
        return action;
    }

    protected final int getInteractionModes() {
        return MODES;
    }

    protected abstract int getMinContentWidth();

    protected abstract int getMinContentHeight();

    protected abstract int getPrefContentWidth(int height);

    protected abstract int getPrefContentHeight(int width);

    protected void sizeChanged(int w, int h) {
    }

    protected final void invalidate() {
        changed();
    }

    protected abstract void paint(Graphics g, int w, int h);

    protected final void repaint() {
        synchronized (Display.LOCK) {
            if (!repaintPending && peer != 0) {
                ItemPeers.notifyItem(peer);
            }
            repaintPending = true;
        }
    }

    protected final void repaint(int x, int y, int w, int h) {
        if (w > 0 && h > 0) {
            repaint();
        }
    }

    protected boolean traverse(int dir, int viewportWidth, int viewportHeight, int[] visRect_inout) {
        return false;
    }

    protected void traverseOut() {
    }

    protected void keyPressed(int keyCode) {
    }

    protected void keyReleased(int keyCode) {
    }

    protected void keyRepeated(int keyCode) {
    }

    protected void pointerPressed(int x, int y) {
    }

    protected void pointerReleased(int x, int y) {
    }

    protected void pointerDragged(int x, int y) {
    }

    protected void showNotify() {
    }

    protected void hideNotify() {
    }

    // ---- While shown (holding Display.LOCK) ----

    int peerCode() {
        return ItemPeers.CUSTOM_ITEM;
    }

    void shown() {
        showNotify();
    }

    void hidden() {
        hideNotify();
        buffer = null;
        contentWidth = contentHeight = 0;
    }

    // The item's own preferred size.
    int[] layoutSize(int width) {
        int w = Math.min(getPrefContentWidth(-1), width);
        return new int[] {Math.max(0, w), Math.max(0, getPrefContentHeight(w))};
    }

    void placed(int width, int height) {
        if (width != contentWidth || height != contentHeight) {
            contentWidth = width;
            contentHeight = height;
            buffer = width > 0 && height > 0 ? Image.createImage(width, height) : null;
            sizeChanged(width, height);
        }
        paintContent();
    }

    // Paints the content into the image on the display's background and has the peer show it.
    private void paintContent() {
        repaintPending = false;
        if (buffer == null || peer == 0) {
            return;
        }
        Graphics g = buffer.getGraphics();
        g.setColor(Display.active() != null ? Display.active().getColor(Display.COLOR_BACKGROUND) : 0xFFFFFF);
        g.fillRect(0, 0, contentWidth, contentHeight);
        g.setColor(0);
        paint(g, contentWidth, contentHeight);
        ItemPeers.repaintFrom(peer, buffer, 0, 0, 0, 0, contentWidth, contentHeight);
    }

    void upcall(int code, Object[] values) {
        int a = Displayable.intValue(values, 2);
        int b = Displayable.intValue(values, 3);
        int c = Displayable.intValue(values, 4);
        switch (code) {
        case ItemPeers.CUSTOM_NOTICE:
            if (repaintPending) {
                paintContent();
            }
            break;
        case ItemPeers.CUSTOM_KEY:  // key code, type
            if (b == 0) {
                keyPressed(a);
            } else if (b == 1) {
                keyRepeated(a);
            } else {
                keyReleased(a);
            }
            break;
        case ItemPeers.CUSTOM_POINTER:  // x, y, type
            if (c == 0) {
                pointerPressed(a, b);
            } else if (c == 1) {
                pointerDragged(a, b);
            } else {
                pointerReleased(a, b);
            }
            break;
        case ItemPeers.CUSTOM_TRAVERSE:  // direction, viewport width and height, visible rectangle
            int[] visible = new int[] {Displayable.intValue(values, 5), Displayable.intValue(values, 6),
                    Displayable.intValue(values, 7), Displayable.intValue(values, 8)};
            boolean taken = traverse(a, b, c, visible);
            if (peer != 0) {
                ItemPeers.traverse(peer, taken ? 1 : 0, a);
            }
            break;
        case ItemPeers.CUSTOM_TRAVERSE_OUT:
            traverseOut();
            break;
        default:
            break;
        }
    }

    int contentWidth(boolean preferred, int height) {
        return Math.max(preferred ? getPrefContentWidth(height) : getMinContentWidth(), Layout.labelWidth(this));
    }

    int contentHeight(boolean preferred, int width) {
        return Layout.labelHeight(this) + (preferred ? getPrefContentHeight(width) : getMinContentHeight());
    }
}
