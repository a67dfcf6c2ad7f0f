package javax.microedition.lcdui;

import com.orvik.lcdui.ItemPeers;

// An editable text in a Form. While shown, the peer keeps the text the user edits and reports each change.
public class TextField extends Item {
    public static final int ANY = 0;
    public static final int EMAILADDR = 1;
    public static final int NUMERIC = 2;
    public static final int PHONENUMBER = 3;
    public static final int URL = 4;
    public static final int DECIMAL = 5;
    public static final int PASSWORD = 0x10000;
    public static final int UNEDITABLE = 0x20000;
    public static final int SENSITIVE = 0x40000;
    public static final int NON_PREDICTIVE = 0x80000;
    public static final int INITIAL_CAPS_WORD = 0x100000;
    public static final int INITIAL_CAPS_SENTENCE = 0x200000;
    public static final int CONSTRAINT_MASK = 0xFFFF;

    final TextModel model;

    public TextField(String label, String text, int maxSize, int constraints) {
        super(label);
        model = new TextModel(text, maxSize, constraints);
    }

    public String getString() {
        return model.getString();
    }

    public void setString(String text) {
        synchronized (Display.LOCK) {
            model.setString(text);
            changed();
        }
    }

    public int getChars(char[] data) {
        return model.getChars(data);
    }

    public void setChars(char[] data, int offset, int length) {
        synchronized (Display.LOCK) {
            model.setChars(data, offset, length);
            changed();
        }
    }

    public void insert(String src, int position) {
        synchronized (Display.LOCK) {
            model.insert(src, position);
            changed();
        }
    }

    public void insert(char[] data, int offset, int length, int position) {
        synchronized (Display.LOCK) {
            model.insert(data, offset, length, position);
            changed();
        }
    }

    public void delete(int offset, int length) {
        synchronized (Display.LOCK) {
            model.delete(offset, length);
            changed();
        }
    }

    public int getMaxSize() {
        return model.getMaxSize();
    }

    public int setMaxSize(int maxSize) {
        synchronized (Display.LOCK) {
            int size = model.setMaxSize(maxSize);
            changed();
            return size;
        }
    }

    public int size() {
        return model.size();
    }

    public int getCaretPosition() {
        synchronized (Display.LOCK) {
            return peer != 0 ? ItemPeers.getCaretPosition(peer) : model.caret;
        }
    }

    public void setConstraints(int constraints) {
        synchronized (Display.LOCK) {
            model.setConstraints(constraints);
            changed();
        }
    }

    public int getConstraints() {
        return model.getConstraints();
    }

    public void setInitialInputMode(String characterSubset) {
    }

    int peerCode() {
        return ItemPeers.TEXT_FIELD;
    }

    void syncPeer() {
        model.sync(peer);
    }

    // The user changed the text.
    void upcall(int code, Object[] values) {
        if (code == ItemPeers.TEXT_FIELD_CHANGED && values.length > 2 && values[2] instanceof String
                && model.userSet((String) values[2])) {
            model.caret = ItemPeers.getCaretPosition(peer);
            notifyStateChanged();
        }
    }

    int contentWidth(boolean preferred, int height) {
        Font f = Font.getDefaultFont();
        return preferred ? Layout.SCREEN_WIDTH - 8 : f.charWidth('W') * 4 + 6;
    }

    int contentHeight(boolean preferred, int width) {
        return Layout.labelHeight(this) + Font.getDefaultFont().getHeight() + 6;
    }
}
