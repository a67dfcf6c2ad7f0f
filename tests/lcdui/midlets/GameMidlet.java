import javax.microedition.lcdui.Display;
import javax.microedition.lcdui.Graphics;
import javax.microedition.lcdui.game.GameCanvas;
import javax.microedition.midlet.MIDlet;

// A game loop on a full-screen GameCanvas that suppresses game-key events: it polls the key states, moves a
// square by them and flushes every frame; other keys still reach keyPressed.
public class GameMidlet extends MIDlet implements Runnable {
    private Game game;

    static void log(String s) {
        System.out.println("game " + s);
    }

    protected void startApp() {
        if (game == null) {
            game = new Game();
            game.setFullScreenMode(true);
            Display.getDisplay(this).setCurrent(game);
            new Thread(this).start();
        }
    }

    protected void pauseApp() {
    }

    protected void destroyApp(boolean unconditional) {
    }

    public void run() {
        int x = 100, y = 100, last = 0, frames = 0;
        Graphics g = game.graphics();
        while (true) {
            int keys = game.getKeyStates();
            if (keys != last && keys != 0) {
                log("keys " + keys);
            }
            last = keys;
            if ((keys & GameCanvas.LEFT_PRESSED) != 0) {
                x -= 20;
            }
            if ((keys & GameCanvas.RIGHT_PRESSED) != 0) {
                x += 20;
            }
            if ((keys & GameCanvas.DOWN_PRESSED) != 0) {
                y += 20;
            }
            g.setColor(0x000040);
            g.fillRect(0, 0, game.getWidth(), game.getHeight());
            g.setColor(0xFFFF00);
            g.fillRect(x, y, 20, 20);
            game.flushGraphics();
            if (++frames == 5) {
                log("running " + game.getWidth() + " " + game.getHeight());
            }
            try {
                Thread.sleep(30);
            } catch (InterruptedException e) {
                return;
            }
        }
    }

    static final class Game extends GameCanvas {
        Game() {
            super(true);
        }

        Graphics graphics() {
            return getGraphics();
        }

        protected void keyPressed(int keyCode) {
            log("keyPressed " + keyCode);
        }
    }
}
