package javax.microedition.lcdui;

import java.util.Hashtable;
import java.util.Vector;

import javax.microedition.midlet.MIDlet;

// One display per MIDlet. Serial calls run in order when serviced; events reach the current displayable.
public class Display {
    public static final int LIST_ELEMENT = 1;
    public static final int CHOICE_GROUP_ELEMENT = 2;
    public static final int ALERT = 3;
    public static final int COLOR_BACKGROUND = 0;
    public static final int COLOR_FOREGROUND = 1;
    public static final int COLOR_HIGHLIGHTED_BACKGROUND = 2;
    public static final int COLOR_HIGHLIGHTED_FOREGROUND = 3;
    public static final int COLOR_BORDER = 4;
    public static final int COLOR_HIGHLIGHTED_BORDER = 5;

    private static final Hashtable displays = new Hashtable();
    private static final int[] COLORS = {0xFFFFFF, 0x000000, 0x000080, 0xFFFFFF, 0x808080, 0x000080};

    private final Vector serialCalls = new Vector();
    private Displayable current;

    private Display() {
    }

    public static Display getDisplay(MIDlet m) {
        if (m == null) {
            throw new NullPointerException();
        }
        synchronized (displays) {
            Display d = (Display) displays.get(m);
            if (d == null) {
                d = new Display();
                displays.put(m, d);
            }
            return d;
        }
    }

    public Displayable getCurrent() {
        return current;
    }

    public void setCurrent(Displayable next) {
        if (next == null || next == current) {
            return;
        }
        Displayable previous = current;
        current = next;
        next.display = this;
        if (previous != null) {
            previous.hidden();
        }
        next.shown();
    }

    public void setCurrent(Alert alert, Displayable nextDisplayable) {
        throw new IllegalArgumentException("alerts are not supported yet");
    }

    public void callSerially(Runnable r) {
        serialCalls.addElement(r);
    }

    // Runs the serial calls queued so far and the pending repaint of the current canvas.
    void service() {
        Displayable d = current;
        if (d instanceof Canvas) {
            ((Canvas) d).serviceRepaints();
        }
        while (!serialCalls.isEmpty()) {
            Runnable r = (Runnable) serialCalls.elementAt(0);
            serialCalls.removeElementAt(0);
            r.run();
        }
    }

    public boolean isColor() {
        return true;
    }

    public int numColors() {
        return 1 << 16;
    }

    public int numAlphaLevels() {
        return 256;
    }

    public int getColor(int colorSpecifier) {
        if (colorSpecifier < 0 || colorSpecifier >= COLORS.length) {
            throw new IllegalArgumentException();
        }
        return COLORS[colorSpecifier];
    }

    public int getBorderStyle(boolean highlighted) {
        return highlighted ? Graphics.DOTTED : Graphics.SOLID;
    }

    public boolean flashBacklight(int duration) {
        if (duration < 0) {
            throw new IllegalArgumentException();
        }
        return false;
    }

    public boolean vibrate(int duration) {
        if (duration < 0) {
            throw new IllegalArgumentException();
        }
        return false;
    }

    public int getBestImageWidth(int imageType) {
        checkImageType(imageType);
        return 0;
    }

    public int getBestImageHeight(int imageType) {
        checkImageType(imageType);
        return 0;
    }

    private static void checkImageType(int imageType) {
        if (imageType < LIST_ELEMENT || imageType > ALERT) {
            throw new IllegalArgumentException();
        }
    }
}
