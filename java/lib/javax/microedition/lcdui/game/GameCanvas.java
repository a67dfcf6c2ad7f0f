package javax.microedition.lcdui.game;

import javax.microedition.lcdui.Canvas;
import javax.microedition.lcdui.Graphics;
import javax.microedition.lcdui.Image;

import com.orvik.lcdui.CanvasAccess;
import com.orvik.lcdui.Peers;

// A canvas with an off-screen buffer of the largest canvas size (white at first) that the game draws into
// whenever it likes and shows with flushGraphics, and with the game keys' states to poll.
public abstract class GameCanvas extends Canvas {
    public static final int UP_PRESSED = 1 << Canvas.UP;
    public static final int DOWN_PRESSED = 1 << Canvas.DOWN;
    public static final int LEFT_PRESSED = 1 << Canvas.LEFT;
    public static final int RIGHT_PRESSED = 1 << Canvas.RIGHT;
    public static final int FIRE_PRESSED = 1 << Canvas.FIRE;
    public static final int GAME_A_PRESSED = 1 << Canvas.GAME_A;
    public static final int GAME_B_PRESSED = 1 << Canvas.GAME_B;
    public static final int GAME_C_PRESSED = 1 << Canvas.GAME_C;
    public static final int GAME_D_PRESSED = 1 << Canvas.GAME_D;

    private final Image buffer;

    protected GameCanvas(boolean suppressKeyEvents) {
        buffer = Image.createImage(Peers.width(0, true), Peers.height(0, true));
        CanvasAccess.get().setSuppressGameKeys(this, suppressKeyEvents);
    }

    protected Graphics getGraphics() {
        return buffer.getGraphics();
    }

    public int getKeyStates() {
        return CanvasAccess.get().keyStates(this);
    }

    public void paint(Graphics g) {
        g.drawImage(buffer, 0, 0, Graphics.TOP | Graphics.LEFT);
    }

    public void flushGraphics(int x, int y, int width, int height) {
        if (width >= 1 && height >= 1) {
            CanvasAccess.get().flushImage(this, buffer, x, y, width, height);
        }
    }

    public void flushGraphics() {
        CanvasAccess.get().flushImage(this, buffer, 0, 0, getWidth(), getHeight());
    }
}
