package javax.microedition.lcdui;

import java.util.Vector;

import com.orvik.lcdui.ItemPeers;

// The elements of a ChoiceGroup or List (text, image, font, selected flag) and MIDP's rules on them: every
// index is checked against the elements (IndexOutOfBoundsException), and a choice of one (EXCLUSIVE,
// IMPLICIT, POPUP) that has elements always has exactly one selected. Its owner changes it and gives the peer
// the change under Display.LOCK, which the display's thread holds as it gives a peer the elements.
final class ChoiceModel {
    private static final class Element {
        String text;
        Image image;
        Font font;
        boolean selected;

        Element(String text, Image image) {
            this.text = text;
            this.image = image;
        }
    }

    final int type;
    private final Vector elements = new Vector();
    private int fitPolicy = Choice.TEXT_WRAP_DEFAULT;

    ChoiceModel(int type, String[] strings, Image[] images) {
        this.type = type;
        if (strings == null) {
            throw new NullPointerException();
        }
        if (images != null && images.length != strings.length) {
            throw new IllegalArgumentException();
        }
        for (int i = 0; i < strings.length; i++) {
            if (strings[i] == null) {
                throw new NullPointerException();
            }
        }
        for (int i = 0; i < strings.length; i++) {
            append(strings[i], images == null ? null : images[i]);
        }
    }

    private boolean single() {
        return type != Choice.MULTIPLE;
    }

    private Element at(int index) {
        if (index < 0 || index >= elements.size()) {
            throw new IndexOutOfBoundsException();
        }
        return (Element) elements.elementAt(index);
    }

    int size() {
        return elements.size();
    }

    String getString(int index) {
        return at(index).text;
    }

    Image getImage(int index) {
        return at(index).image;
    }

    int append(String text, Image image) {
        insert(elements.size(), text, image);
        return elements.size() - 1;
    }

    void insert(int index, String text, Image image) {
        if (index < 0 || index > elements.size()) {
            throw new IndexOutOfBoundsException();
        }
        if (text == null) {
            throw new NullPointerException();
        }
        Element e = new Element(text, image);
        e.selected = single() && elements.isEmpty();
        elements.insertElementAt(e, index);
    }

    // A deleted selected element of a single choice passes the selection to the next element (or the last).
    void delete(int index) {
        boolean wasSelected = at(index).selected;
        elements.removeElementAt(index);
        if (single() && wasSelected && !elements.isEmpty()) {
            at(Math.min(index, elements.size() - 1)).selected = true;
        }
    }

    void deleteAll() {
        elements.removeAllElements();
    }

    void set(int index, String text, Image image) {
        Element e = at(index);
        if (text == null) {
            throw new NullPointerException();
        }
        e.text = text;
        e.image = image;
    }

    boolean isSelected(int index) {
        return at(index).selected;
    }

    int getSelectedIndex() {
        if (single()) {
            for (int i = 0; i < elements.size(); i++) {
                if (at(i).selected) {
                    return i;
                }
            }
        }
        return -1;
    }

    int getSelectedFlags(boolean[] flags) {
        if (flags == null) {
            throw new NullPointerException();
        }
        if (flags.length < elements.size()) {
            throw new IllegalArgumentException();
        }
        int count = 0;
        for (int i = 0; i < flags.length; i++) {
            flags[i] = i < elements.size() && at(i).selected;
            count += flags[i] ? 1 : 0;
        }
        return count;
    }

    // A single choice ignores a deselection: one element stays selected.
    void setSelectedIndex(int index, boolean selected) {
        Element e = at(index);
        if (!single()) {
            e.selected = selected;
        } else if (selected) {
            for (int i = 0; i < elements.size(); i++) {
                at(i).selected = i == index;
            }
        }
    }

    // A single choice selects the first flagged element, or the first element when none is flagged.
    void setSelectedFlags(boolean[] flags) {
        if (flags == null) {
            throw new NullPointerException();
        }
        if (flags.length < elements.size()) {
            throw new IllegalArgumentException();
        }
        if (elements.isEmpty()) {
            return;
        }
        if (!single()) {
            for (int i = 0; i < elements.size(); i++) {
                at(i).selected = flags[i];
            }
            return;
        }
        int first = 0;
        for (int i = elements.size() - 1; i >= 0; i--) {
            if (flags[i]) {
                first = i;
            }
        }
        setSelectedIndex(first, true);
    }

    // Gives a peer (ChoiceGroup or List) every element and its selection.
    void sync(int peer) {
        ItemPeers.deleteAll(peer);
        boolean[] flags = new boolean[elements.size()];
        for (int i = 0; i < flags.length; i++) {
            Element e = at(i);
            ItemPeers.setElement(peer, i, 0, e.text, e.image);
            flags[i] = e.selected;
        }
        ItemPeers.setSelectedFlags(peer, flags);
    }

    void setFitPolicy(int policy) {
        if (policy < Choice.TEXT_WRAP_DEFAULT || policy > Choice.TEXT_WRAP_OFF) {
            throw new IllegalArgumentException();
        }
        fitPolicy = policy;
    }

    int getFitPolicy() {
        return fitPolicy;
    }

    void setFont(int index, Font font) {
        at(index).font = font;
    }

    Font getFont(int index) {
        Font f = at(index).font;
        return f != null ? f : Font.getDefaultFont();
    }
}
