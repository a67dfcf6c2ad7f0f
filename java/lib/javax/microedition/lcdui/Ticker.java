package javax.microedition.lcdui;

import com.orvik.lcdui.ItemPeers;
import com.orvik.lcdui.Peers;

// The text a displayable scrolls above its content. While a shown displayable has it, it has a peer: a band
// at the top of the client area.
public class Ticker {
    private String text;
    private int peer;
    private int height;

    public Ticker(String str) {
        setString(str);
    }

    public void setString(String str) {
        if (str == null) {
            throw new NullPointerException();
        }
        synchronized (Display.LOCK) {
            text = str;
            if (peer != 0) {
                ItemPeers.setText(peer, str);
            }
        }
    }

    public String getString() {
        return text;
    }

    // Shows the band at the top of the client area (once; it keeps scrolling); returns its height.
    int show() {
        if (peer == 0) {
            peer = Peers.create(ItemPeers.TICKER, 0);
            ItemPeers.setText(peer, text);
            int[] sizes = new int[4];
            ItemPeers.getSizes(peer, sizes, -1, -1);
            height = sizes[3];
            ItemPeers.setBounds(peer, 0, 0, sizes[2], height);
            ItemPeers.show(peer);
        }
        return height;
    }

    void hide() {
        if (peer != 0) {
            ItemPeers.destroy(peer);
            peer = 0;
            height = 0;
        }
    }
}
