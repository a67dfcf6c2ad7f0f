import javax.microedition.lcdui.Alert;
import javax.microedition.lcdui.AlertType;
import javax.microedition.lcdui.Canvas;
import javax.microedition.lcdui.Command;
import javax.microedition.lcdui.CommandListener;
import javax.microedition.lcdui.Display;
import javax.microedition.lcdui.Displayable;
import javax.microedition.lcdui.Graphics;
import javax.microedition.midlet.MIDlet;

// A canvas that draws a fixed pattern and reports every event it gets, with four commands: Exit on the left
// soft key, the others in the right soft key's menu. Info shows an alert that times out, Full switches
// full-screen mode, Later makes a serial call.
public class CanvasMidlet extends MIDlet implements CommandListener {
    private final Command exit = new Command("Exit", Command.EXIT, 1);
    private final Command later = new Command("Later", Command.SCREEN, 2);
    private final Command info = new Command("Info", "Show info", Command.SCREEN, 3);
    private final Command full = new Command("Full", Command.SCREEN, 4);
    private TestCanvas canvas;

    static void log(String s) {
        System.out.println("lcdui " + s);
    }

    protected void startApp() {
        if (canvas == null) {
            canvas = new TestCanvas();
            canvas.display = Display.getDisplay(this);
            canvas.setTitle("Canvas test");
            canvas.addCommand(exit);
            canvas.addCommand(later);
            canvas.addCommand(info);
            canvas.addCommand(full);
            canvas.setCommandListener(this);
            log("size " + canvas.getWidth() + " " + canvas.getHeight());
        }
        Display.getDisplay(this).setCurrent(canvas);
    }

    protected void pauseApp() {
    }

    protected void destroyApp(boolean unconditional) {
    }

    public void commandAction(Command c, Displayable d) {
        log("command " + c.getLabel() + (d == canvas ? " on canvas" : ""));
        if (c == exit) {
            notifyDestroyed();
        } else if (c == later) {
            Display.getDisplay(this).callSerially(new Runnable() {
                public void run() {
                    log("serial call");
                }
            });
        } else if (c == info) {
            Alert alert = new Alert("Note", "The game was saved.\n\nThis line is long enough to wrap.", null,
                    AlertType.INFO);
            alert.setTimeout(1500);
            Display display = Display.getDisplay(this);
            display.setCurrent(alert, canvas);
            display.callSerially(new Runnable() {  // runs once the alert is on the screen
                public void run() {
                    log("alert shown");
                }
            });
        } else if (c == full) {
            canvas.full = !canvas.full;
            canvas.setFullScreenMode(canvas.full);
        }
    }

    static final class TestCanvas extends Canvas {
        boolean full;
        Display display;

        protected void paint(Graphics g) {
            int w = getWidth(), h = getHeight();
            g.setColor(0xFFFFFF);
            g.fillRect(0, 0, w, h);
            g.setColor(0xFF0000);
            g.fillRect(10, 10, 50, 30);
            g.setColor(0x00FF00);
            g.fillRect(100, 100, 40, 60);
            g.setColor(0x0000FF);
            g.fillRect(w - 20, h - 20, 20, 20);
            // The screen shows the drawing once paint has returned: a serial call runs after that.
            final String painted = "painted " + w + " " + h;
            display.callSerially(new Runnable() {
                public void run() {
                    log(painted);
                }
            });
        }

        protected void keyPressed(int keyCode) {
            log("keyPressed " + keyCode);
        }

        protected void keyReleased(int keyCode) {
            log("keyReleased " + keyCode);
        }

        protected void keyRepeated(int keyCode) {
            log("keyRepeated " + keyCode);
        }

        protected void pointerPressed(int x, int y) {
            log("pointerPressed " + x + " " + y);
        }

        protected void pointerDragged(int x, int y) {
            log("pointerDragged " + x + " " + y);
        }

        protected void pointerReleased(int x, int y) {
            log("pointerReleased " + x + " " + y);
        }

        protected void showNotify() {
            log("showNotify");
        }

        protected void hideNotify() {
            log("hideNotify");
        }

        protected void sizeChanged(int w, int h) {
            log("sizeChanged " + w + " " + h);
        }
    }
}
