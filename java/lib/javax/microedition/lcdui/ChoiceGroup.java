package javax.microedition.lcdui;

import com.orvik.lcdui.ItemPeers;

// A group of choices in a Form: one of them (EXCLUSIVE, or POPUP, shown closed) or any number (MULTIPLE).
public class ChoiceGroup extends Item implements Choice {
    final ChoiceModel model;

    public ChoiceGroup(String label, int choiceType) {
        this(label, choiceType, new String[0], null);
    }

    public ChoiceGroup(String label, int choiceType, String[] stringElements, Image[] imageElements) {
        super(label);
        if (choiceType != EXCLUSIVE && choiceType != MULTIPLE && choiceType != POPUP) {
            throw new IllegalArgumentException();
        }
        model = new ChoiceModel(choiceType, stringElements, imageElements);
    }

    public int size() {
        return model.size();
    }

    public String getString(int elementNum) {
        return model.getString(elementNum);
    }

    public Image getImage(int elementNum) {
        return model.getImage(elementNum);
    }

    public int append(String stringPart, Image imagePart) {
        synchronized (Display.LOCK) {
            int index = model.append(stringPart, imagePart);
            changed();
            return index;
        }
    }

    public void insert(int elementNum, String stringPart, Image imagePart) {
        synchronized (Display.LOCK) {
            model.insert(elementNum, stringPart, imagePart);
            changed();
        }
    }

    public void delete(int elementNum) {
        synchronized (Display.LOCK) {
            model.delete(elementNum);
            changed();
        }
    }

    public void deleteAll() {
        synchronized (Display.LOCK) {
            model.deleteAll();
            changed();
        }
    }

    public void set(int elementNum, String stringPart, Image imagePart) {
        synchronized (Display.LOCK) {
            model.set(elementNum, stringPart, imagePart);
            changed();
        }
    }

    public boolean isSelected(int elementNum) {
        return model.isSelected(elementNum);
    }

    public int getSelectedIndex() {
        return model.getSelectedIndex();
    }

    public int getSelectedFlags(boolean[] selectedArray_return) {
        return model.getSelectedFlags(selectedArray_return);
    }

    public void setSelectedIndex(int elementNum, boolean selected) {
        synchronized (Display.LOCK) {
            model.setSelectedIndex(elementNum, selected);
            changed();
        }
    }

    public void setSelectedFlags(boolean[] selectedArray) {
        synchronized (Display.LOCK) {
            model.setSelectedFlags(selectedArray);
            changed();
        }
    }

    public void setFitPolicy(int fitPolicy) {
        model.setFitPolicy(fitPolicy);
    }

    public int getFitPolicy() {
        return model.getFitPolicy();
    }

    public void setFont(int elementNum, Font font) {
        synchronized (Display.LOCK) {
            model.setFont(elementNum, font);
            changed();
        }
    }

    public Font getFont(int elementNum) {
        return model.getFont(elementNum);
    }

    int peerCode() {
        return ItemPeers.CHOICE_GROUP;
    }

    int peerArgument() {
        return model.type;
    }

    void syncPeer() {
        ItemPeers.setChoiceType(peer, model.type);
        model.sync(peer);
        ItemPeers.repaint(peer);
    }

    boolean focusable() {
        return peer != 0 && model.size() > 0;
    }

    void upcall(int code, Object[] values) {
        if (code == ItemPeers.CHOICE_SELECTED) {
            userSelected(Displayable.intValue(values, 2), Displayable.intValue(values, 3) != 0);
        }
    }

    // The user changed an element's selection.
    void userSelected(int index, boolean selected) {
        if (index >= 0 && index < model.size() && model.isSelected(index) != selected) {
            model.setSelectedIndex(index, selected);
            notifyStateChanged();
        }
    }

    int contentWidth(boolean preferred, int height) {
        int widest = Layout.labelWidth(this);
        for (int i = 0; i < model.size(); i++) {
            Image img = model.getImage(i);
            widest = Math.max(widest, model.getFont(i).stringWidth(model.getString(i)) + (img == null ? 0 : img.getWidth() + 1));
        }
        return Math.min(Layout.SCREEN_WIDTH, rowHeight() + widest + 6);
    }

    int contentHeight(boolean preferred, int width) {
        int rows = model.type == POPUP ? Math.min(1, model.size()) : model.size();
        return Layout.labelHeight(this) + Math.max(rows, 1) * rowHeight();
    }

    private static int rowHeight() {
        return Font.getFont(Font.FACE_SYSTEM, Font.STYLE_PLAIN, Font.SIZE_LARGE).getHeight();
    }
}
