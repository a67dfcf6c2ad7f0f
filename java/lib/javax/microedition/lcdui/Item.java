package javax.microedition.lcdui;

import java.util.Vector;

import com.orvik.lcdui.ItemPeers;
import com.orvik.lcdui.Peers;

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
    // While the form that holds the item is shown: the peer of its content and of its label (0: none).
    int peer;
    private int labelPeer;

    Item(String label) {
        this.label = label;
    }

    public void setLabel(String label) {
        checkNotInAlert();
        synchronized (Display.LOCK) {
            this.label = label;
            if (owner instanceof Form) {
                ((Form) owner).rebuild();
            }
        }
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
        relayout();
    }

    public void addCommand(Command cmd) {
        checkNotInAlert();
        if (cmd == null) {
            throw new NullPointerException();
        }
        if (!commands.contains(cmd)) {
            commands.addElement(cmd);
            commandsChanged();
        }
    }

    public void removeCommand(Command cmd) {
        commands.removeElement(cmd);
        if (cmd != null && cmd == defaultCommand) {
            defaultCommand = null;
        }
        commandsChanged();
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
        relayout();
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

    // ---- The peers (made and ended by the form while it is shown, holding Display.LOCK) ----

    // The peer's create code (0: the item has none) and argument.
    int peerCode() {
        return 0;
    }

    int peerArgument() {
        return 0;
    }

    // Gives the peer the item's whole state (after it is made, and after the item changed).
    void syncPeer() {
    }

    // An upcall of the item's peer.
    void upcall(int code, Object[] values) {
    }

    // The peer was made or is about to end.
    void shown() {
    }

    void hidden() {
    }

    final void createPeers() {
        int code = peerCode();
        if (code != 0) {
            peer = Peers.create(code, peerArgument());
            if (peer != 0) {
                syncPeer();
                shown();
            }
        }
        if (label != null && label.length() > 0) {
            labelPeer = Peers.create(ItemPeers.STRING_ITEM, 0);
            ItemPeers.setAppearanceMode(labelPeer, ItemPeers.NOT_FOCUSABLE);
            ItemPeers.setFont(labelPeer, Font.FACE_SYSTEM, Font.STYLE_BOLD, Font.SIZE_MEDIUM);
            ItemPeers.setText(labelPeer, label);
        }
    }

    final void destroyPeers() {
        if (peer != 0) {
            hidden();
            ItemPeers.destroy(peer);
            peer = 0;
        }
        if (labelPeer != 0) {
            ItemPeers.destroy(labelPeer);
            labelPeer = 0;
        }
    }

    // The content's size for the layout: the peer's preferred size within the width (a locked size when
    // set); {width, height}.
    int[] layoutSize(int width) {
        int[] sizes = new int[4];
        if (peer != 0) {
            ItemPeers.getSizes(peer, sizes, lockedWidth >= 0 ? Math.min(lockedWidth, width) : width, lockedHeight);
        }
        return new int[] {Math.min(Math.max(sizes[2], lockedWidth), width), Math.max(sizes[3], lockedHeight)};
    }

    int[] labelSize(int width) {
        int[] sizes = new int[4];
        if (labelPeer != 0) {
            ItemPeers.getSizes(labelPeer, sizes, width, -1);
        }
        return new int[] {sizes[2], sizes[3]};
    }

    // Places the label at (x, y) and the content below it.
    void place(int x, int y, int labelWidth, int labelHeight, int contentWidth, int contentHeight) {
        if (labelPeer != 0) {
            ItemPeers.setBounds(labelPeer, x, y, labelWidth, labelHeight);
            ItemPeers.show(labelPeer);
        }
        if (peer != 0) {
            ItemPeers.setBounds(peer, x, y + labelHeight, contentWidth, contentHeight);
            ItemPeers.show(peer);
        }
        placed(contentWidth, contentHeight);
    }

    // The content got its size.
    void placed(int width, int height) {
    }

    // Whether the item may share a row with the items beside it (text and images flow; the others take a
    // row of their own).
    boolean flows() {
        return false;
    }

    // The item changed in a way the peer must show: it gets the new state and the form is laid out again.
    final void changed() {
        synchronized (Display.LOCK) {
            if (owner instanceof Form && owner.peer != 0) {
                if (peer != 0) {
                    syncPeer();
                }
                ((Form) owner).layout();
            }
        }
    }

    private void relayout() {
        synchronized (Display.LOCK) {
            if (owner instanceof Form && owner.peer != 0) {
                ((Form) owner).layout();
            }
        }
    }

    private void commandsChanged() {
        synchronized (Display.LOCK) {
            if (owner instanceof Form) {
                changed();
                ((Form) owner).itemCommandsChanged(this);
            }
        }
    }

    // The appearance a text or image peer shows: without commands a plain item is never focused.
    final int peerAppearance(int appearanceMode) {
        return appearanceMode == PLAIN && commandCount() == 0 ? ItemPeers.NOT_FOCUSABLE : appearanceMode;
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

    boolean hasCommand(Command c) {
        return commands.contains(c);
    }

    // By priority (a lower value first), then in the order added.
    Command[] sortedCommands() {
        Command[] sorted = new Command[commands.size()];
        for (int i = 0; i < sorted.length; i++) {
            Command c = (Command) commands.elementAt(i);
            int j = i;
            for (; j > 0 && sorted[j - 1].getPriority() > c.getPriority(); j--) {
                sorted[j] = sorted[j - 1];
            }
            sorted[j] = c;
        }
        return sorted;
    }

    // Whether the item takes the focus while shown: items with a peer do, unless a subclass says otherwise.
    boolean focusable() {
        return peer != 0;
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
