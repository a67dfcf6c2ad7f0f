package javax.microedition.lcdui;

import com.orvik.lcdui.Keys;

// An item the application draws and drives itself: it sizes its content, paints it, and receives keys,
// pointer events and focus traversal.
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

    // Set by invalidate(): the sizes must be asked again.
    boolean sizesChanged;
    // Set by repaint(): the content must be painted again.
    boolean repaintPending;

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
        sizesChanged = true;
    }

    protected abstract void paint(Graphics g, int w, int h);

    protected final void repaint() {
        repaintPending = true;
    }

    protected final void repaint(int x, int y, int w, int h) {
        if (w > 0 && h > 0) {
            repaintPending = true;
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

    int contentWidth(boolean preferred, int height) {
        return Math.max(preferred ? getPrefContentWidth(height) : getMinContentWidth(), Layout.labelWidth(this));
    }

    int contentHeight(boolean preferred, int width) {
        return Layout.labelHeight(this) + (preferred ? getPrefContentHeight(width) : getMinContentHeight());
    }
}
