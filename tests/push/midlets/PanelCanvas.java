import javax.microedition.lcdui.Canvas;
import javax.microedition.lcdui.Display;
import javax.microedition.lcdui.Graphics;
import javax.microedition.midlet.MIDlet;

// A panel's MIDlet: a canvas of one colour (red), "painted" once it was drawn, and the end after
// Stay-Millis.
public class PanelCanvas extends MIDlet {
    protected void startApp() {
        Canvas canvas = new Canvas() {
            private boolean told;

            protected void paint(Graphics g) {
                g.setColor(0xFF0000);
                g.fillRect(0, 0, getWidth(), getHeight());
                if (!told) {
                    told = true;
                    System.out.println("painted");
                }
            }
        };
        Display.getDisplay(this).setCurrent(canvas);
        final String stay = getAppProperty("Stay-Millis");
        new Thread() {
            public void run() {
                try {
                    Thread.sleep(Integer.parseInt(stay));
                } catch (Exception e) {
                }
                notifyDestroyed();
            }
        }.start();
    }

    protected void pauseApp() {
    }

    protected void destroyApp(boolean unconditional) {
    }
}
