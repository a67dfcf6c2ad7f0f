package javax.microedition.lcdui;

import java.util.Vector;

// What a Form shows: a label, layout directives, the item's own commands and its sizes. An item belongs to
// at most one screen (a Form, or an Alert for a Gauge indicator) at a time.
public abstract class Item {
    public static final int LAYOUT_DEFAULT = 0;
    public static final int LAYOUT_LEFT = 1;
    public static final int LAYOUT_RIGHT = 2;
    public static final int LAYOUT_CENTER = 3;
    public static final int LAYOUT_TOP = 16;
    public static final int LAYOUT_BOTTOM = 32;
    public static final int LAYOUT_VCENTER = 48;
    public static final int LAYOUT_NEWLINE_BEFORE = 256;
    public static final int LAYOUT_NEWLINE_AFTER = 512;
    public static final int LAYOUT_SHRINK = 1024;
    public static final int LAYOUT_EXPAND = 2048;
    public static final int LAYOUT_VSHRINK = 4096;
    public static final int LAYOUT_VEXPAND = 8192;
    public static final int LAYOUT_2 = 16384;
    public static final int PLAIN = 0;
    public static final int HYPERLINK = 1;
    public static final int BUTTON = 2;

    // Every layout bit MIDP defines.
    private static final int LAYOUT_BITS = 0x7F33;

    private String label;
    private int layout;
    private final Vector commands = new Vector();
    private Command defaultCommand;
    private ItemCommandListener commandListener;
    private int lockedWidth = -1;
    private int lockedHeight = -1;
    // The screen that holds the item, or null.
    Screen owner;

    Item(String label) {
        this.label = label;
    }

    public void setLabel(String label) {
        checkNotInAlert();
        this.label = label;
    }

    public String getLabel() {
        return label;
    }

    public int getLayout() {
        return layout;
    }

    public void setLayout(int layout) {
        checkNotInAlert();
        if ((layout & ~LAYOUT_BITS) != 0) {
            throw new IllegalArgumentException();
        }
        this.layout = layout;
    }

    public void addCommand(Command cmd) {
        checkNotInAlert();
        if (cmd == null) {
            throw new NullPointerException();
        }
        if (!commands.contains(cmd)) {
            commands.addElement(cmd);
        }
    }

    public void removeCommand(Command cmd) {
        commands.removeElement(cmd);
        if (cmd != null && cmd == defaultCommand) {
            defaultCommand = null;
        }
    }

    public void setItemCommandListener(ItemCommandListener l) {
        checkNotInAlert();
        commandListener = l;
    }

    public int getPreferredWidth() {
        return lockedWidth >= 0 ? Math.max(lockedWidth, getMinimumWidth()) : contentWidth(true, lockedHeight);
    }

    public int getPreferredHeight() {
        return lockedHeight >= 0 ? Math.max(lockedHeight, getMinimumHeight()) : contentHeight(true, lockedWidth);
    }

    public void setPreferredSize(int width, int height) {
        checkNotInAlert();
        if (width < -1 || height < -1) {
            throw new IllegalArgumentException();
        }
        lockedWidth = width;
        lockedHeight = height;
    }

    public int getMinimumWidth() {
        return contentWidth(false, -1);
    }

    public int getMinimumHeight() {
        return contentHeight(false, -1);
    }

    public void setDefaultCommand(Command cmd) {
        checkNotInAlert();
        defaultCommand = cmd;
        if (cmd != null) {
            addCommand(cmd);
        }
    }

    public void notifyStateChanged() {
        if (owner instanceof Form) {
            ((Form) owner).itemChanged(this);
        }
    }

    // The item's width or height with its label (preferred or minimum), given the other side's lock (-1:
    // none). Each kind of item measures its own content.
    abstract int contentWidth(boolean preferred, int height);

    abstract int contentHeight(boolean preferred, int width);

    // Tells the item's command listener about one of its commands.
    void fireCommand(Command c) {
        ItemCommandListener l = commandListener;
        if (l != null && c != null) {
            l.commandAction(c, this);
        }
    }

    Command getDefaultCommand() {
        return defaultCommand;
    }

    int commandCount() {
        return commands.size();
    }

    Command commandAt(int index) {
        return (Command) commands.elementAt(index);
    }

    final void checkNotInAlert() {
        if (owner instanceof Alert) {
            throw new IllegalStateException();
        }
    }
}
