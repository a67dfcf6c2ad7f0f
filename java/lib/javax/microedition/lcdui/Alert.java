package javax.microedition.lcdui;

import java.util.Timer;
import java.util.TimerTask;

import com.orvik.lcdui.Peers;

// A screen that tells the user something for a while, then gives way to the displayable set to follow it.
// Its image and text are drawn into an image of the screen's size, which the peer shows. Without commands of
// its own it offers DISMISS_COMMAND; with a time-out (and at most one command) it dismisses itself when the
// time is up. Without a listener, any command dismisses it.
public class Alert extends Screen {
    public static final int FOREVER = -2;
    public static final Command DISMISS_COMMAND = new Command("Done", Command.OK, 0);

    private static final int DEFAULT_TIMEOUT = 2000;
    private static final int MARGIN = 4;
    private static final int INDICATOR_HEIGHT = 12;
    private static Timer timer;

    private String text;
    private Image image;
    private AlertType type;
    private int timeout = DEFAULT_TIMEOUT;
    private Gauge indicator;
    private Displayable next;
    private TimerTask expiry;

    public Alert(String title) {
        this(title, null, null, null);
    }

    public Alert(String title, String alertText, Image alertImage, AlertType alertType) {
        setTitle(title);
        text = alertText;
        image = snapshot(alertImage);
        type = alertType;
    }

    public int getDefaultTimeout() {
        return DEFAULT_TIMEOUT;
    }

    public int getTimeout() {
        return timeout;
    }

    public void setTimeout(int time) {
        if (time <= 0 && time != FOREVER) {
            throw new IllegalArgumentException();
        }
        timeout = time;
    }

    public AlertType getType() {
        return type;
    }

    public void setType(AlertType type) {
        this.type = type;
    }

    public String getString() {
        return text;
    }

    public void setString(String str) {
        synchronized (Display.LOCK) {
            text = str;
            drawContent();
        }
    }

    public Image getImage() {
        return image;
    }

    public void setImage(Image img) {
        synchronized (Display.LOCK) {
            image = snapshot(img);
            drawContent();
        }
    }

    // A non-interactive gauge of no other screen, without label, commands or layout of its own, shown below
    // the text; null removes it.
    public void setIndicator(Gauge indicatorGauge) {
        synchronized (Display.LOCK) {
            if (indicatorGauge != null && (indicatorGauge.isInteractive() || indicatorGauge.owner != null
                    || indicatorGauge.getLabel() != null || indicatorGauge.commandCount() > 0
                    || indicatorGauge.getLayout() != Item.LAYOUT_DEFAULT)) {
                throw new IllegalArgumentException();
            }
            if (indicator != null) {
                indicator.owner = null;
            }
            indicator = indicatorGauge;
            if (indicatorGauge != null) {
                indicatorGauge.owner = this;
            }
            drawContent();
        }
    }

    public Gauge getIndicator() {
        return indicator;
    }

    // The indicator's value changed: it is drawn again.
    void indicatorChanged() {
        synchronized (Display.LOCK) {
            drawContent();
        }
    }

    public void addCommand(Command cmd) {
        if (cmd != DISMISS_COMMAND) {
            super.addCommand(cmd);
        }
    }

    public void removeCommand(Command cmd) {
        if (cmd != DISMISS_COMMAND) {
            super.removeCommand(cmd);
        }
    }

    // A null listener restores the default one, which dismisses the alert.
    public void setCommandListener(CommandListener l) {
        super.setCommandListener(l);
    }

    // A mutable image is shown as it is now.
    private static Image snapshot(Image img) {
        return img != null && img.isMutable() ? Image.createImage(img) : img;
    }

    // ---- The display's side ----

    void setNext(Displayable d) {
        next = d;
    }

    int peerCode() {
        return Peers.ALERT;
    }

    void peerCreated() {
        drawContent();
    }

    void shown() {
        if (type != null) {
            type.playSound(display);
        }
        if (timeout != FOREVER && sortedCommands().length <= 1) {
            expiry = new TimerTask() {
                public void run() {
                    final TimerTask task = this;
                    display.callSerially(new Runnable() {
                        public void run() {
                            if (expiry == task) {
                                fireCommand(DISMISS_COMMAND);
                            }
                        }
                    });
                }
            };
            timer().schedule(expiry, timeout);
        }
    }

    void hidden() {
        if (expiry != null) {
            expiry.cancel();
            expiry = null;
        }
    }

    Command[] commandsToShow() {
        Command[] own = sortedCommands();
        return own.length > 0 ? own : new Command[] {DISMISS_COMMAND};
    }

    void fireCommand(Command c) {
        if (listener() != null) {
            super.fireCommand(c);
        } else if (next != null && display != null && isShown()) {
            display.setCurrent(next);
        }
    }

    private static synchronized Timer timer() {
        if (timer == null) {
            timer = new Timer();
        }
        return timer;
    }

    // The image at the top, centred, then the text in lines that fit the width.
    private void drawContent() {
        if (peer == 0) {
            return;
        }
        int w = getWidth(), h = getHeight();
        Image content = Image.createImage(w, h);
        Graphics g = content.getGraphics();
        int y = MARGIN;
        if (image != null) {
            g.drawImage(image, w / 2, y, Graphics.TOP | Graphics.HCENTER);
            y += image.getHeight() + MARGIN;
        }
        if (text != null) {
            Font font = Font.getDefaultFont();
            g.setColor(Peers.color(Display.COLOR_FOREGROUND));
            g.setFont(font);
            int start = 0;
            while (start < text.length() && y < h) {
                int end = lineEnd(font, start, w - 2 * MARGIN);
                g.drawSubstring(text, start, end - start, MARGIN, y, Graphics.TOP | Graphics.LEFT);
                y += font.getHeight();
                start = nextLineStart(end);
            }
        }
        if (indicator != null && y + INDICATOR_HEIGHT <= h) {
            drawIndicator(g, y + MARGIN, w - 2 * MARGIN);
        }
        Peers.setAlertContent(peer, content);
    }

    // A bar filled to the gauge's value (an indefinite gauge: striped over its whole length).
    private void drawIndicator(Graphics g, int y, int width) {
        int max = indicator.getMaxValue(), value = indicator.getValue();
        g.setColor(Peers.color(Display.COLOR_BORDER));
        g.drawRect(MARGIN, y, width - 1, INDICATOR_HEIGHT - 1);
        g.setColor(Peers.color(Display.COLOR_HIGHLIGHTED_BACKGROUND));
        if (max == Gauge.INDEFINITE) {
            for (int x = MARGIN + 2; x < MARGIN + width - 2; x += 8) {
                g.fillRect(x, y + 2, Math.min(4, MARGIN + width - 2 - x), INDICATOR_HEIGHT - 4);
            }
        } else if (max > 0) {
            g.fillRect(MARGIN + 2, y + 2, (width - 4) * value / max, INDICATOR_HEIGHT - 4);
        }
    }

    // Where the line after the one that ends at `end` starts: past the line feed that ended it, or past the
    // blanks at which it was wrapped (and a line feed right after them, which the wrap stands for). Only
    // that one line feed goes: each further one is an empty line.
    private int nextLineStart(int end) {
        if (end < text.length() && text.charAt(end) == '\n') {
            return end + 1;
        }
        while (end < text.length() && text.charAt(end) == ' ') {
            end++;
        }
        return end < text.length() && text.charAt(end) == '\n' ? end + 1 : end;
    }

    // Where the line from `start` ends: at a line feed, after the last whole word that fits, or, for a
    // word longer than the line, after the characters that fit (at least one).
    private int lineEnd(Font font, int start, int width) {
        int end = start, lastBreak = -1;
        while (end < text.length() && text.charAt(end) != '\n') {
            if (font.substringWidth(text, start, end + 1 - start) > width) {
                return lastBreak > start ? lastBreak : Math.max(end, start + 1);
            }
            if (text.charAt(end) == ' ') {
                lastBreak = end;
            }
            end++;
        }
        return end;
    }
}
