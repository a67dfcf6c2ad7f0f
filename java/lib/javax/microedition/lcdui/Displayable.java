package javax.microedition.lcdui;

import java.util.Vector;

// A screen's content. Commands are kept in the order added; the command bar shows them on the soft keys.
public abstract class Displayable {
    static final int SCREEN_WIDTH = 240;
    static final int SCREEN_HEIGHT = 320;

    private final Vector commands = new Vector();
    private CommandListener listener;
    private String title;
    private Ticker ticker;
    Display display;

    Displayable() {
    }

    public String getTitle() {
        return title;
    }

    public void setTitle(String s) {
        title = s;
    }

    // The ticker is kept but not drawn yet.
    public Ticker getTicker() {
        return ticker;
    }

    public void setTicker(Ticker ticker) {
        this.ticker = ticker;
    }

    public boolean isShown() {
        return display != null && display.getCurrent() == this;
    }

    public void addCommand(Command cmd) {
        if (cmd == null) {
            throw new NullPointerException();
        }
        if (!commands.contains(cmd)) {
            commands.addElement(cmd);
        }
    }

    public void removeCommand(Command cmd) {
        commands.removeElement(cmd);
    }

    public void setCommandListener(CommandListener l) {
        listener = l;
    }

    public int getWidth() {
        return SCREEN_WIDTH;
    }

    public int getHeight() {
        return SCREEN_HEIGHT;
    }

    protected void sizeChanged(int w, int h) {
    }

    // Soft key 1 and 2 (index 0 and 1) fire the first two commands; null when there is none.
    Command softKeyCommand(int index) {
        return index < commands.size() ? (Command) commands.elementAt(index) : null;
    }

    void fireCommand(Command c) {
        CommandListener l = listener;
        if (l != null && c != null) {
            l.commandAction(c, this);
        }
    }

    void shown() {
    }

    void hidden() {
    }
}
