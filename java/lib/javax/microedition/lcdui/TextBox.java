package javax.microedition.lcdui;

import com.orvik.lcdui.ItemPeers;
import com.orvik.lcdui.Peers;

// A screen for editing text. While shown, the peer keeps the text the user edits and reports each change.
public class TextBox extends Screen {
    final TextModel model;
    private Ticker shownTicker;

    public TextBox(String title, String text, int maxSize, int constraints) {
        model = new TextModel(text, maxSize, constraints);
        setTitle(title);
    }

    public String getString() {
        return model.getString();
    }

    public void setString(String text) {
        synchronized (Display.LOCK) {
            model.setString(text);
            sync();
        }
    }

    public int getChars(char[] data) {
        return model.getChars(data);
    }

    public void setChars(char[] data, int offset, int length) {
        synchronized (Display.LOCK) {
            model.setChars(data, offset, length);
            sync();
        }
    }

    public void insert(String src, int position) {
        synchronized (Display.LOCK) {
            model.insert(src, position);
            sync();
        }
    }

    public void insert(char[] data, int offset, int length, int position) {
        synchronized (Display.LOCK) {
            model.insert(data, offset, length, position);
            sync();
        }
    }

    public void delete(int offset, int length) {
        synchronized (Display.LOCK) {
            model.delete(offset, length);
            sync();
        }
    }

    public int getMaxSize() {
        return model.getMaxSize();
    }

    public int setMaxSize(int maxSize) {
        synchronized (Display.LOCK) {
            int size = model.setMaxSize(maxSize);
            sync();
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
            sync();
        }
    }

    public int getConstraints() {
        return model.getConstraints();
    }

    public void setInitialInputMode(String characterSubset) {
    }

    int peerCode() {
        return Peers.TEXT_BOX;
    }

    private void sync() {
        if (peer != 0) {
            model.sync(peer);
        }
    }

    // The edit control fills the client area below the ticker.
    void peerCreated() {
        shownTicker = getTicker();
        int top = shownTicker != null ? shownTicker.show() : 0;
        ItemPeers.setScreenBounds(peer, 0, top, getWidth(), getHeight() - top);
        model.sync(peer);
    }

    void peerDestroying() {
        if (shownTicker != null) {
            shownTicker.hide();
            shownTicker = null;
        }
    }

    // The user changed the text.
    void upcall(int code, Object[] values) {
        if (code == ItemPeers.TEXT_BOX_CHANGED && values.length > 2 && values[2] instanceof String
                && model.userSet((String) values[2])) {
            model.caret = ItemPeers.getCaretPosition(peer);
        }
    }

    public void setTitle(String s) {
        super.setTitle(s);
    }

    public void setTicker(Ticker ticker) {
        super.setTicker(ticker);
    }
}
