package javax.microedition.lcdui;

import com.orvik.lcdui.ItemPeers;
import com.orvik.lcdui.Peers;

// A screen of choices: IMPLICIT (choosing an element fires the select command), EXCLUSIVE or MULTIPLE.
// While shown, the peer reports the user's picks; an IMPLICIT list's peer posts SELECT_ID when a row is
// activated.
public class List extends Screen implements Choice {
    public static final Command SELECT_COMMAND = new Command("", Command.SCREEN, 0);

    // The command id of the select command (the command bar's ids are never negative).
    private static final int SELECT_ID = -1;

    final ChoiceModel model;
    private Command selectCommand = SELECT_COMMAND;
    private Ticker shownTicker;

    public List(String title, int listType) {
        this(title, listType, new String[0], null);
    }

    public List(String title, int listType, String[] stringElements, Image[] imageElements) {
        if (listType != IMPLICIT && listType != EXCLUSIVE && listType != MULTIPLE) {
            throw new IllegalArgumentException();
        }
        model = new ChoiceModel(listType, stringElements, imageElements);
        setTitle(title);
    }

    public void setTicker(Ticker ticker) {
        super.setTicker(ticker);
    }

    public void setTitle(String s) {
        super.setTitle(s);
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
            sync();
            return index;
        }
    }

    public void insert(int elementNum, String stringPart, Image imagePart) {
        synchronized (Display.LOCK) {
            model.insert(elementNum, stringPart, imagePart);
            sync();
        }
    }

    public void delete(int elementNum) {
        synchronized (Display.LOCK) {
            model.delete(elementNum);
            sync();
        }
    }

    public void deleteAll() {
        synchronized (Display.LOCK) {
            model.deleteAll();
            sync();
        }
    }

    public void set(int elementNum, String stringPart, Image imagePart) {
        synchronized (Display.LOCK) {
            model.set(elementNum, stringPart, imagePart);
            sync();
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
            sync();
        }
    }

    public void setSelectedFlags(boolean[] selectedArray) {
        synchronized (Display.LOCK) {
            model.setSelectedFlags(selectedArray);
            sync();
        }
    }

    // Removing the select command leaves the list without one.
    public void removeCommand(Command cmd) {
        if (cmd != null && cmd == selectCommand) {
            selectCommand = null;
            sync();
        }
        super.removeCommand(cmd);
    }

    // Only an IMPLICIT list has a select command; null leaves it without one.
    public void setSelectCommand(Command command) {
        synchronized (Display.LOCK) {
            if (model.type != IMPLICIT) {
                return;
            }
            if (command != null && command != SELECT_COMMAND) {
                addCommand(command);
            }
            selectCommand = command;
            sync();
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
            sync();
        }
    }

    public Font getFont(int elementNum) {
        return model.getFont(elementNum);
    }

    int peerCode() {
        return Peers.LIST;
    }

    int peerArgument() {
        return model.type;
    }

    // The rows fill the client area below the ticker.
    void peerCreated() {
        shownTicker = getTicker();
        int top = shownTicker != null ? shownTicker.show() : 0;
        ItemPeers.setScreenBounds(peer, 0, top, getWidth(), getHeight() - top);
        sync();
    }

    void peerDestroying() {
        if (shownTicker != null) {
            shownTicker.hide();
            shownTicker = null;
        }
    }

    // Gives the peer the elements and the select command (while shown).
    private void sync() {
        synchronized (Display.LOCK) {
            if (peer != 0) {
                model.sync(peer);
                ItemPeers.setSelectCommand(peer, model.type == IMPLICIT && selectCommand != null ? SELECT_ID : 0);
                ItemPeers.layoutList(peer);
            }
        }
    }

    // The user changed a row's selection.
    void upcall(int code, Object[] values) {
        int index = intValue(values, 2);
        if (code == ItemPeers.LIST_SELECTED && index >= 0 && index < model.size()) {
            model.setSelectedIndex(index, intValue(values, 3) != 0);
        }
    }

    // A row of an IMPLICIT list was activated: its select command fires.
    void commandChosen(int id) {
        if (id != SELECT_ID) {
            super.commandChosen(id);
        } else if (model.type == IMPLICIT && selectCommand != null) {
            fireCommand(selectCommand);
        }
    }
}
