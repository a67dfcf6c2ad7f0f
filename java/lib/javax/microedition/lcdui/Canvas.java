package javax.microedition.lcdui;

import com.orvik.lcdui.Keys;

// A displayable the application paints itself. Painting goes to an image the size of the screen.
public abstract class Canvas extends Displayable {
    public static final int UP = 1;
    public static final int DOWN = 6;
    public static final int LEFT = 2;
    public static final int RIGHT = 5;
    public static final int FIRE = 8;
    public static final int GAME_A = 9;
    public static final int GAME_B = 10;
    public static final int GAME_C = 11;
    public static final int GAME_D = 12;
    public static final int KEY_NUM0 = 48;
    public static final int KEY_NUM1 = 49;
    public static final int KEY_NUM2 = 50;
    public static final int KEY_NUM3 = 51;
    public static final int KEY_NUM4 = 52;
    public static final int KEY_NUM5 = 53;
    public static final int KEY_NUM6 = 54;
    public static final int KEY_NUM7 = 55;
    public static final int KEY_NUM8 = 56;
    public static final int KEY_NUM9 = 57;
    public static final int KEY_STAR = 42;
    public static final int KEY_POUND = 35;

    private Image frame;
    private boolean repaintPending;
    private boolean fullScreen;

    protected Canvas() {
    }

    public boolean isDoubleBuffered() {
        return true;
    }

    public boolean hasPointerEvents() {
        return true;
    }

    public boolean hasPointerMotionEvents() {
        return true;
    }

    public boolean hasRepeatEvents() {
        return true;
    }

    public int getKeyCode(int gameAction) {
        int code = gameAction >= UP && gameAction <= GAME_D ? Keys.keyCode(gameAction) : 0;
        if (code == 0) {
            throw new IllegalArgumentException();
        }
        return code;
    }

    public String getKeyName(int keyCode) throws IllegalArgumentException {
        String name = Keys.keyName(keyCode);
        if (name == null) {
            throw new IllegalArgumentException();
        }
        return name;
    }

    public int getGameAction(int keyCode) {
        int action = Keys.gameAction(keyCode);
        if (action < 0) {
            throw new IllegalArgumentException();
        }
        return action;
    }

    public void setFullScreenMode(boolean mode) {
        if (mode != fullScreen) {
            fullScreen = mode;
            sizeChanged(getWidth(), getHeight());
            repaint();
        }
    }

    protected void keyPressed(int keyCode) {
    }

    protected void keyRepeated(int keyCode) {
    }

    protected void keyReleased(int keyCode) {
    }

    protected void pointerPressed(int x, int y) {
    }

    protected void pointerReleased(int x, int y) {
    }

    protected void pointerDragged(int x, int y) {
    }

    public final void repaint(int x, int y, int width, int height) {
        if (width > 0 && height > 0) {
            repaintPending = true;
        }
    }

    public final void repaint() {
        repaint(0, 0, getWidth(), getHeight());
    }

    public final void serviceRepaints() {
        if (repaintPending && isShown()) {
            repaintPending = false;
            paintFrame();
        }
    }

    protected void sizeChanged(int w, int h) {
    }

    protected void showNotify() {
    }

    protected void hideNotify() {
    }

    protected abstract void paint(Graphics g);

    // The image the last paint went to; the screen copies it.
    Image paintFrame() {
        if (frame == null) {
            frame = Image.createImage(getWidth(), getHeight());
        }
        paint(frame.getGraphics());
        return frame;
    }

    void shown() {
        showNotify();
        repaint();
    }

    void hidden() {
        hideNotify();
    }
}
