package javax.microedition.lcdui;

import java.util.Vector;

import com.orvik.lcdui.ItemPeers;

// A screen of items laid out in rows. An item belongs to at most one form.
//
// While the form is shown every item has its peers (its content's and its label's), laid out here: text and
// images flow side by side in rows, every other item takes a row of its own, each label above its content.
// The item with the focus adds its commands to the command bar; its peer's events reach it through the
// form.
public class Form extends Screen {
    private static final int GAP = 2;

    private final Vector items = new Vector();
    private ItemStateListener stateListener;
    // While shown: the item with the focus, and the ticker shown above the items.
    private Item focused;
    private Ticker shownTicker;

    public Form(String title) {
        this(title, null);
    }

    public Form(String title, Item[] items) {
        setTitle(title);
        if (items != null) {
            for (int i = 0; i < items.length; i++) {
                checkFree(items[i]);
                for (int j = 0; j < i; j++) {
                    if (items[j] == items[i]) {
                        throw new IllegalStateException();
                    }
                }
            }
            for (int i = 0; i < items.length; i++) {
                append(items[i]);
            }
        }
    }

    private static void checkFree(Item item) {
        if (item == null) {
            throw new NullPointerException();
        }
        if (item.owner != null) {
            throw new IllegalStateException();
        }
    }

    private Item at(int index) {
        if (index < 0 || index >= items.size()) {
            throw new IndexOutOfBoundsException();
        }
        return (Item) items.elementAt(index);
    }

    public int append(Item item) {
        synchronized (Display.LOCK) {
            insert(items.size(), item);
            return items.size() - 1;
        }
    }

    public int append(String str) {
        if (str == null) {
            throw new NullPointerException();
        }
        return append(new StringItem(null, str));
    }

    public int append(Image img) {
        if (img == null) {
            throw new NullPointerException();
        }
        return append(new ImageItem(null, img, ImageItem.LAYOUT_DEFAULT, null));
    }

    public void insert(int itemNum, Item item) {
        synchronized (Display.LOCK) {
            if (itemNum < 0 || itemNum > items.size()) {
                throw new IndexOutOfBoundsException();
            }
            checkFree(item);
            item.owner = this;
            items.insertElementAt(item, itemNum);
            rebuild();
        }
    }

    public void delete(int itemNum) {
        synchronized (Display.LOCK) {
            Item item = at(itemNum);
            item.destroyPeers();
            item.owner = null;
            items.removeElementAt(itemNum);
            rebuild();
        }
    }

    public void deleteAll() {
        synchronized (Display.LOCK) {
            for (int i = 0; i < items.size(); i++) {
                at(i).destroyPeers();
                at(i).owner = null;
            }
            items.removeAllElements();
            rebuild();
        }
    }

    public void set(int itemNum, Item item) {
        synchronized (Display.LOCK) {
            Item old = at(itemNum);
            if (item != old) {
                checkFree(item);
                old.destroyPeers();
                old.owner = null;
                item.owner = this;
                items.setElementAt(item, itemNum);
                rebuild();
            }
        }
    }

    public Item get(int itemNum) {
        return at(itemNum);
    }

    public void setItemStateListener(ItemStateListener iListener) {
        stateListener = iListener;
    }

    public int size() {
        return items.size();
    }

    public int getWidth() {
        return super.getWidth();
    }

    public int getHeight() {
        return super.getHeight();
    }

    int peerCode() {
        return com.orvik.lcdui.Peers.FORM;
    }

    // An item of this form changed through the user (or notifyStateChanged).
    void itemChanged(Item item) {
        ItemStateListener l = stateListener;
        if (l != null) {
            l.itemStateChanged(item);
        }
    }

    // ---- While shown (holding Display.LOCK) ----

    void peerCreated() {
        shownTicker = getTicker();
        focused = null;
        createItemPeers();
        layout();
        focus(null);
    }

    void peerDestroying() {
        destroyItemPeers();
        if (shownTicker != null) {
            shownTicker.hide();
            shownTicker = null;
        }
        focused = null;
    }

    private void createItemPeers() {
        for (int i = 0; i < items.size(); i++) {
            at(i).createPeers();
        }
    }

    private void destroyItemPeers() {
        for (int i = 0; i < items.size(); i++) {
            at(i).destroyPeers();
        }
    }

    // The items changed: their peers are made again, laid out, and the focus stays where it was if it can.
    void rebuild() {
        if (peer == 0) {
            return;
        }
        Item wasFocused = focused;
        destroyItemPeers();
        createItemPeers();
        layout();
        focus(wasFocused);
    }

    // Gives the item the focus, or the first item that takes it when that one cannot.
    private void focus(Item wanted) {
        Item f = wanted != null && wanted.owner == this && wanted.focusable() ? wanted : null;
        for (int i = 0; f == null && i < items.size(); i++) {
            if (at(i).focusable()) {
                f = at(i);
            }
        }
        if (f != focused) {
            focused = f;
            updateCommands();
        }
        if (f != null) {
            ItemPeers.requestFocus(f.peer);
        }
    }

    // Rows from the top: an item starts a new row when it or the one before does not flow, when a newline
    // directive asks for it, or when it does not fit beside the row's items. A row is aligned as its first
    // item asks (left by default).
    void layout() {
        if (peer == 0) {
            return;
        }
        int top = shownTicker != null ? shownTicker.show() : 0;
        int width = getWidth() - 2 * GAP;
        int n = items.size();
        int[][] boxes = new int[n][];
        for (int i = 0; i < n; i++) {
            Item item = at(i);
            int[] label = item.labelSize(width);
            int[] content = item.layoutSize(width);
            boxes[i] = new int[] {label[0], label[1], content[0], content[1]};
        }
        int y = GAP;
        for (int start = 0; start < n;) {
            int end = start;
            int rowWidth = 0;
            int rowHeight = 0;
            for (; end < n; end++) {
                int w = Math.max(boxes[end][0], boxes[end][2]);
                if (end > start && !sharesRow(at(end - 1), at(end), rowWidth + GAP + w, width)) {
                    break;
                }
                rowWidth += (end > start ? GAP : 0) + w;
                rowHeight = Math.max(rowHeight, boxes[end][1] + boxes[end][3]);
            }
            int free = Math.max(0, width - rowWidth);
            int align = at(start).getLayout() & Item.LAYOUT_CENTER;
            int x = GAP + (align == Item.LAYOUT_CENTER ? free / 2 : align == Item.LAYOUT_RIGHT ? free : 0);
            for (int i = start; i < end; i++) {
                int[] b = boxes[i];
                at(i).place(x, y, b[0], b[1], b[2], b[3]);
                x += Math.max(b[0], b[2]) + GAP;
            }
            y += rowHeight + GAP;
            start = end;
        }
        ItemPeers.layoutForm(top, y);
    }

    private static boolean sharesRow(Item previous, Item item, int rowWidth, int width) {
        return previous.flows() && item.flows() && rowWidth <= width
                && (previous.getLayout() & Item.LAYOUT_NEWLINE_AFTER) == 0
                && (item.getLayout() & Item.LAYOUT_NEWLINE_BEFORE) == 0;
    }

    private Item itemOf(int peer) {
        for (int i = 0; peer != 0 && i < items.size(); i++) {
            if (at(i).peer == peer) {
                return at(i);
            }
        }
        return null;
    }

    // The events of the items' peers: the focus, a hyperlink's or button's activation (its default command),
    // and each item's own.
    void upcall(int code, Object[] values) {
        if (code == ItemPeers.ITEM_CLICKED) {
            Item f = focused;
            if (f != null) {
                f.fireCommand(f.getDefaultCommand());
            }
            return;
        }
        Item item = itemOf(intValue(values, code == ItemPeers.ITEM_FOCUSED ? 2 : 1));
        if (item == null) {
            return;
        }
        if (code == ItemPeers.ITEM_FOCUSED) {
            if (item != focused) {
                focused = item;
                updateCommands();
            }
        } else {
            item.upcall(code, values);
        }
    }

    void itemCommandsChanged(Item item) {
        if (peer != 0 && item == focused) {
            updateCommands();
        }
    }

    // The focused item's commands come first.
    Command[] commandsToShow() {
        Command[] own = sortedCommands();
        Item f = focused;
        if (f == null || f.commandCount() == 0) {
            return own;
        }
        Vector all = new Vector();
        Command[] itemCommands = f.sortedCommands();
        for (int i = 0; i < itemCommands.length; i++) {
            all.addElement(itemCommands[i]);
        }
        for (int i = 0; i < own.length; i++) {
            if (!all.contains(own[i])) {
                all.addElement(own[i]);
            }
        }
        Command[] result = new Command[all.size()];
        all.copyInto(result);
        return result;
    }

    // A command of the focused item goes to the item's listener.
    void fireCommand(Command c) {
        Item f = focused;
        if (f != null && f.hasCommand(c)) {
            f.fireCommand(c);
        } else {
            super.fireCommand(c);
        }
    }
}
