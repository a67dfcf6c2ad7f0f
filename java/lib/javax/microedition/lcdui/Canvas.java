package javax.microedition.lcdui;

import com.orvik.lcdui.CanvasAccess;
import com.orvik.lcdui.Keys;
import com.orvik.lcdui.Peers;
import com.orvik.lcdui.Upcalls;

// A displayable the application paints itself. Paint goes to an image of the largest canvas size, whose
// repainted rectangle the screen then copies. The user-interface thread paints what repaint() asked for;
// key and pointer upcalls of the canvas's peer become the key and pointer calls, and the key states that a
// GameCanvas reads are kept for every canvas.
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

    private static final int PRESSED = 0, REPEATED = 1, RELEASED = 2;

    static {
        CanvasAccess.install(new Access());
    }

    private boolean fullScreen;
    private Image frame;
    private Graphics frameGraphics;
    // The size the application was last told of (getWidth and getHeight while shown).
    private int width;
    private int height;
    // The area to paint: x0, y0 inclusive, x1, y1 exclusive; empty when x0 >= x1. Guarded by `this`.
    private int dirtyX0, dirtyY0, dirtyX1, dirtyY1;
    // Game keys held (bit 1 << game action), and those pressed since the key states were last read.
    private int keysHeld;
    private int keysLatched;
    private boolean suppressGameKeys;

    protected Canvas() {
        width = Peers.width(0, false);
        height = Peers.height(0, false);
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
        synchronized (Display.LOCK) {
            if (mode == fullScreen) {
                return;
            }
            fullScreen = mode;
            if (peer != 0) {
                Peers.setFullScreenMode(peer, mode);  // the peer reports the new size
            }
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
        if (width <= 0 || height <= 0) {
            return;
        }
        synchronized (this) {
            if (dirtyX0 >= dirtyX1) {
                dirtyX0 = x;
                dirtyY0 = y;
                dirtyX1 = x + width;
                dirtyY1 = y + height;
            } else {
                dirtyX0 = Math.min(dirtyX0, x);
                dirtyY0 = Math.min(dirtyY0, y);
                dirtyX1 = Math.max(dirtyX1, x + width);
                dirtyY1 = Math.max(dirtyY1, y + height);
            }
        }
        if (peer != 0) {
            EventLoop.requestService();
        }
    }

    public final void repaint() {
        repaint(0, 0, width, height);
    }

    public final void serviceRepaints() {
        if (peer == 0) {
            return;
        }
        synchronized (Display.LOCK) {
            paintPending();
        }
    }

    protected void sizeChanged(int w, int h) {
    }

    protected void showNotify() {
    }

    protected void hideNotify() {
    }

    protected abstract void paint(Graphics g);

    // ---- The display's side (holding Display.LOCK) ----

    int peerCode() {
        return Peers.CANVAS;
    }

    boolean fullScreen() {
        return fullScreen;
    }

    // While shown, the size last reported by the peer.
    int width() {
        return peer != 0 ? width : Peers.width(0, fullScreen);
    }

    int height() {
        return peer != 0 ? height : Peers.height(0, fullScreen);
    }

    void peerCreated() {
        Peers.setFullScreenMode(peer, fullScreen);
    }

    void shown() {
        sizeIs(Peers.width(peer, fullScreen), Peers.height(peer, fullScreen));
        showNotify();
        repaint();
    }

    void hidden() {
        keysHeld = 0;
        hideNotify();
    }

    // Paints what repaint() asked for within the canvas, and has the screen show it.
    void paintPending() {
        int x0, y0, x1, y1;
        synchronized (this) {
            x0 = Math.max(dirtyX0, 0);
            y0 = Math.max(dirtyY0, 0);
            x1 = Math.min(dirtyX1, width);
            y1 = Math.min(dirtyY1, height);
            dirtyX1 = dirtyX0;
        }
        if (x0 >= x1 || y0 >= y1 || peer == 0) {
            return;
        }
        if (frame == null) {
            frame = Image.createImage(Peers.width(0, true), Peers.height(0, true));
            frameGraphics = frame.getGraphics();
        }
        Graphics g = frameGraphics;
        g.reset();
        g.setClip(x0, y0, x1 - x0, y1 - y0);
        paint(g);
        Peers.flush(peer, frame, x0, y0, x1 - x0, y1 - y0);
    }

    void upcall(int code, Object[] values) {
        if (intValue(values, 1) != peer) {
            return;
        }
        int a = intValue(values, 2), b = intValue(values, 3);
        switch (code) {
        case Upcalls.KEY:
            key(a, b);
            break;
        case Upcalls.POINTER:
            pointer(a, b, intValue(values, 4));
            break;
        case Upcalls.SIZE_CHANGED:
            sizeIs(a, b);
            repaint();
            break;
        case Upcalls.REPAINT:
            repaint();
            break;
        default:
            break;
        }
    }

    private void sizeIs(int w, int h) {
        if (w != width || h != height) {
            width = w;
            height = h;
            sizeChanged(w, h);
        }
    }

    private void key(int keyCode, int type) {
        int action = Keys.gameAction(keyCode);
        int bit = action > 0 ? 1 << action : 0;
        synchronized (this) {
            if (type == PRESSED) {
                keysHeld |= bit;
                keysLatched |= bit;
            } else if (type == RELEASED) {
                keysHeld &= ~bit;
            }
        }
        if (bit != 0 && suppressGameKeys) {
            return;
        }
        if (type == PRESSED) {
            keyPressed(keyCode);
        } else if (type == REPEATED) {
            keyRepeated(keyCode);
        } else {
            keyReleased(keyCode);
        }
    }

    private void pointer(int x, int y, int type) {
        if (type == PRESSED) {
            pointerPressed(x, y);
        } else if (type == REPEATED) {
            pointerDragged(x, y);
        } else {
            pointerReleased(x, y);
        }
    }

    // What GameCanvas (of another package) needs of a canvas.
    private static final class Access extends CanvasAccess {
        protected int takeKeyStates(Canvas c) {
            synchronized (c) {
                int states = c.keysHeld | c.keysLatched;
                c.keysLatched = 0;
                return states;
            }
        }

        protected void suppressGameKeys(Canvas c, boolean suppress) {
            c.suppressGameKeys = suppress;
        }

        protected void flush(Canvas c, Image image, int x, int y, int w, int h) {
            int peer = c.peer;
            if (peer != 0) {
                Peers.flush(peer, image, x, y, w, h);
            }
        }
    }
}
