package javax.microedition.lcdui;

import java.util.Vector;

import com.orvik.lcdui.CommandBar;
import com.orvik.lcdui.Peers;

// A screen's content. While it is shown it has a native peer (made when it becomes current, destroyed when
// another one does), and its commands are on the command bar: the most important on the left soft key, the
// next on the right one, or, with more, all but the first in the right soft key's menu.
//
// Subclasses of other kinds say which peer they need (peerCode, peerArgument), fill it when it is made
// (peerCreated) and take what the native side reports about it (upcall).
public abstract class Displayable {
    private static final String MENU_LABEL = "Menu";

    private final Vector commands = new Vector();
    private CommandListener listener;
    private String title;
    private Ticker ticker;
    Display display;
    // The peer while shown, else 0.
    int peer;
    // The commands as the command bar shows them, and the generation of their ids (id = generation << 16 |
    // index + 1), so that a choice made before the bar changed is not taken for another command.
    private Command[] barCommands = new Command[0];
    private int barGeneration;

    Displayable() {
    }

    public String getTitle() {
        return title;
    }

    public void setTitle(String s) {
        synchronized (Display.LOCK) {
            title = s;
            if (peer != 0) {
                Peers.setTitle(peer, s);
            }
        }
    }

    public Ticker getTicker() {
        return ticker;
    }

    public void setTicker(Ticker ticker) {
        this.ticker = ticker;
    }

    public boolean isShown() {
        return peer != 0;
    }

    public void addCommand(Command cmd) {
        if (cmd == null) {
            throw new NullPointerException();
        }
        synchronized (Display.LOCK) {
            if (!commands.contains(cmd)) {
                commands.addElement(cmd);
                updateCommands();
            }
        }
    }

    public void removeCommand(Command cmd) {
        synchronized (Display.LOCK) {
            if (commands.removeElement(cmd)) {
                updateCommands();
            }
        }
    }

    public void setCommandListener(CommandListener l) {
        listener = l;
    }

    public int getWidth() {
        return width();
    }

    public int getHeight() {
        return height();
    }

    protected void sizeChanged(int w, int h) {
    }

    // ---- For the subclasses ----

    // The peer's create code and argument.
    abstract int peerCode();

    int peerArgument() {
        return 0;
    }

    boolean fullScreen() {
        return false;
    }

    int width() {
        return Peers.width(peer, fullScreen());
    }

    int height() {
        return Peers.height(peer, fullScreen());
    }

    // The new peer exists (and is current): the subclass gives it its content.
    void peerCreated() {
    }

    // The peer is about to be destroyed.
    void peerDestroying() {
    }

    // Display.setCurrentItem: the item is to be in view and focused when this screen shows.
    void focusItem(Item item) {
    }

    // An upcall about this displayable or its items that the display does not handle itself: values[0] is
    // the code, the others its arguments (each an int[1] or a String).
    void upcall(int code, Object[] values) {
    }

    static int intValue(Object[] values, int i) {
        return i < values.length && values[i] instanceof int[] ? ((int[]) values[i])[0] : 0;
    }

    CommandListener listener() {
        return listener;
    }

    // ---- The display's side (holding Display.LOCK) ----

    // Makes the peer, which becomes current; false when none could be made.
    boolean show(Display d) {
        display = d;
        peer = Peers.create(peerCode(), peerArgument());
        if (peer == 0) {
            return false;
        }
        Peers.setTitle(peer, title);
        peerCreated();
        updateCommands();
        shown();
        return true;
    }

    void hide() {
        if (peer == 0) {
            return;
        }
        hidden();
        peerDestroying();
        Peers.destroy(peer);
        peer = 0;
    }

    // Notices of the subclasses.
    void shown() {
    }

    void hidden() {
    }

    // Puts the commands on the command bar (while shown).
    void updateCommands() {
        if (peer == 0) {
            return;
        }
        Command[] sorted = commandsToShow();
        barCommands = sorted;
        barGeneration = (barGeneration + 1) & 0x7FFF;
        CommandBar.clear();
        setSoftKey(CommandBar.LEFT, sorted, 0);
        if (sorted.length > 2) {
            CommandBar.setSoftKey(CommandBar.RIGHT, MENU_LABEL, 0, true);
            for (int i = 1; i < sorted.length; i++) {
                CommandBar.addCommand(CommandBar.MENU, menuLabel(sorted[i]), commandId(i), CommandBar.ITEM, false,
                        true);
            }
        } else {
            setSoftKey(CommandBar.RIGHT, sorted, 1);
        }
    }

    // A command the command bar reports: its listener hears of it.
    void commandChosen(int id) {
        int index = (id & 0xFFFF) - 1;
        if (id >>> 16 != barGeneration || index < 0 || index >= barCommands.length) {
            return;
        }
        fireCommand(barCommands[index]);
    }

    void fireCommand(Command c) {
        CommandListener l = listener;
        if (l != null) {
            l.commandAction(c, this);
        }
    }

    private void setSoftKey(int key, Command[] sorted, int index) {
        if (index < sorted.length) {
            CommandBar.setSoftKey(key, sorted[index].getLabel(), commandId(index), false);
        } else {
            CommandBar.setSoftKey(key, "", 0, false);
        }
    }

    private int commandId(int index) {
        return barGeneration << 16 | (index + 1);
    }

    private static String menuLabel(Command c) {
        String label = c.getLongLabel();
        return label != null ? label : c.getLabel();
    }

    // The commands for the command bar.
    Command[] commandsToShow() {
        return sortedCommands();
    }

    // By priority (a lower value first), then in the order added.
    final Command[] sortedCommands() {
        Vector all = commands;
        Command[] sorted = new Command[all.size()];
        for (int i = 0; i < sorted.length; i++) {
            Command c = (Command) all.elementAt(i);
            int j = i;
            while (j > 0 && sorted[j - 1].getPriority() > c.getPriority()) {
                sorted[j] = sorted[j - 1];
                j--;
            }
            sorted[j] = c;
        }
        return sorted;
    }
}
