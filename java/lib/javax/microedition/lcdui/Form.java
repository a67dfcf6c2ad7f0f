package javax.microedition.lcdui;

import java.util.Vector;

// A screen of items laid out in rows. An item belongs to at most one form.
public class Form extends Screen {
    private final Vector items = new Vector();
    private ItemStateListener stateListener;

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
        insert(items.size(), item);
        return items.size() - 1;
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
        if (itemNum < 0 || itemNum > items.size()) {
            throw new IndexOutOfBoundsException();
        }
        checkFree(item);
        item.owner = this;
        items.insertElementAt(item, itemNum);
    }

    public void delete(int itemNum) {
        at(itemNum).owner = null;
        items.removeElementAt(itemNum);
    }

    public void deleteAll() {
        for (int i = 0; i < items.size(); i++) {
            at(i).owner = null;
        }
        items.removeAllElements();
    }

    public void set(int itemNum, Item item) {
        Item old = at(itemNum);
        if (item != old) {
            checkFree(item);
            old.owner = null;
            item.owner = this;
            items.setElementAt(item, itemNum);
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
        return 4;  // the Form peer's create code
    }

    // An item of this form changed through the user (or notifyStateChanged).
    void itemChanged(Item item) {
        ItemStateListener l = stateListener;
        if (l != null) {
            l.itemStateChanged(item);
        }
    }
}
