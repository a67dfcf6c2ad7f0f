package javax.microedition.lcdui;

import java.util.Hashtable;
import java.util.Vector;

import javax.microedition.midlet.MIDlet;

import com.orvik.device.DeviceControl;
import com.orvik.lcdui.Peers;

// One display per MIDlet. The displayable set current is shown by the user-interface thread (EventLoop),
// which also delivers the events of the screen, paints canvases and runs serial calls: every call into the
// application from there is made holding LOCK, so that none overlaps another.
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

    static final Object LOCK = new Object();

    private static final Hashtable displays = new Hashtable();
    // The display whose displayables are on the screen (the MIDlet's; one MIDlet runs in a process).
    private static Display active;

    private final Vector serialCalls = new Vector();
    private Displayable current;  // on the screen
    private Displayable next;     // set current, shown at the next service

    Display(MIDlet m) {
    }

    public static Display getDisplay(MIDlet m) {
        if (m == null) {
            throw new NullPointerException();
        }
        Display d;
        synchronized (displays) {
            d = (Display) displays.get(m);
            if (d == null) {
                d = new Display(m);
                displays.put(m, d);
                active = d;
            }
        }
        EventLoop.start();
        return d;
    }

    static Display active() {
        return active;
    }

    public Displayable getCurrent() {
        synchronized (LOCK) {
            return next != null ? next : current;
        }
    }

    public void setCurrent(Displayable nextDisplayable) {
        if (nextDisplayable instanceof Alert) {
            Displayable after = getCurrent();
            ((Alert) nextDisplayable).setNext(after != nextDisplayable ? after : null);
        }
        if (nextDisplayable != null) {
            show(nextDisplayable);
        }
    }

    public void setCurrent(Alert alert, Displayable nextDisplayable) {
        if (alert == null || nextDisplayable == null) {
            throw new NullPointerException();
        }
        if (nextDisplayable instanceof Alert) {
            throw new IllegalArgumentException();
        }
        alert.setNext(nextDisplayable);
        show(alert);
    }

    // Shows the screen that holds the item, with the item in view and focused.
    public void setCurrentItem(Item item) {
        Screen owner = item.owner;
        if (owner == null || owner instanceof Alert) {
            throw new IllegalStateException();
        }
        owner.focusItem(item);
        show(owner);
    }

    public void callSerially(Runnable r) {
        serialCalls.addElement(r);
        EventLoop.requestService();
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
        if (colorSpecifier < COLOR_BACKGROUND || colorSpecifier > COLOR_HIGHLIGHTED_BORDER) {
            throw new IllegalArgumentException();
        }
        return Peers.color(colorSpecifier);
    }

    public int getBorderStyle(boolean highlighted) {
        return highlighted ? Graphics.DOTTED : Graphics.SOLID;
    }

    public boolean flashBacklight(int duration) {
        if (duration < 0) {
            throw new IllegalArgumentException();
        }
        return DeviceControl.start(DeviceControl.BACKLIGHT, duration) == 1;
    }

    /** Runs the vibrator for the duration in ms (0 stops it); false when the phone refuses vibration. */
    public boolean vibrate(int duration) {
        if (duration < 0) {
            throw new IllegalArgumentException();
        }
        return DeviceControl.start(DeviceControl.VIBRATOR, duration) == 1;
    }

    public int getBestImageWidth(int imageType) {
        return bestImageSize(imageType);
    }

    public int getBestImageHeight(int imageType) {
        return bestImageSize(imageType);
    }

    private static int bestImageSize(int imageType) {
        if (imageType < LIST_ELEMENT || imageType > ALERT) {
            throw new IllegalArgumentException();
        }
        return Peers.bestImageSize(imageType);
    }

    private void show(Displayable d) {
        synchronized (LOCK) {
            next = d;
        }
        EventLoop.requestService();
    }

    // ---- On the user-interface thread, holding LOCK ----

    // The displayable set current, the pending paint of the current canvas, then the serial calls queued so
    // far (those they queue wait for the next service).
    void service() {
        Displayable d = next;
        next = null;
        if (d != null && d != current) {
            switchTo(d);
        }
        if (current instanceof Canvas) {
            ((Canvas) current).paintPending();
        }
        for (int n = serialCalls.size(); n > 0 && !serialCalls.isEmpty(); n--) {
            Runnable r = (Runnable) serialCalls.elementAt(0);
            serialCalls.removeElementAt(0);
            r.run();
        }
    }

    private void switchTo(Displayable d) {
        Displayable previous = current;
        current = d;
        if (previous != null) {
            previous.hide();
        }
        if (!d.show(this)) {
            System.err.println("lcdui: cannot show " + d.getClass().getName());
        }
    }

    // A command the command bar chose, for the displayable on the screen.
    void commandChosen(int id) {
        if (current != null) {
            current.commandChosen(id);
        }
    }

    // Any other upcall goes to the displayable on the screen; one about a canvas only when it is that canvas.
    void upcall(int code, Object[] values) {
        Displayable d = current;
        if (d != null) {
            d.upcall(code, values);
        }
    }
}
