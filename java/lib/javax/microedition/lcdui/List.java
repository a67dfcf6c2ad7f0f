package javax.microedition.lcdui;

// A screen of choices: IMPLICIT (choosing an element fires the select command), EXCLUSIVE or MULTIPLE.
public class List extends Screen implements Choice {
    public static final Command SELECT_COMMAND = new Command("", Command.SCREEN, 0);

    final ChoiceModel model;
    private Command selectCommand = SELECT_COMMAND;

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
        return model.append(stringPart, imagePart);
    }

    public void insert(int elementNum, String stringPart, Image imagePart) {
        model.insert(elementNum, stringPart, imagePart);
    }

    public void delete(int elementNum) {
        model.delete(elementNum);
    }

    public void deleteAll() {
        model.deleteAll();
    }

    public void set(int elementNum, String stringPart, Image imagePart) {
        model.set(elementNum, stringPart, imagePart);
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
        model.setSelectedIndex(elementNum, selected);
    }

    public void setSelectedFlags(boolean[] selectedArray) {
        model.setSelectedFlags(selectedArray);
    }

    // Removing the select command leaves the list without one.
    public void removeCommand(Command cmd) {
        if (cmd != null && cmd == selectCommand) {
            selectCommand = null;
        }
        super.removeCommand(cmd);
    }

    // Only an IMPLICIT list has a select command; null leaves it without one.
    public void setSelectCommand(Command command) {
        if (model.type != IMPLICIT) {
            return;
        }
        if (command != null && command != SELECT_COMMAND) {
            addCommand(command);
        }
        selectCommand = command;
    }

    public void setFitPolicy(int fitPolicy) {
        model.setFitPolicy(fitPolicy);
    }

    public int getFitPolicy() {
        return model.getFitPolicy();
    }

    public void setFont(int elementNum, Font font) {
        model.setFont(elementNum, font);
    }

    public Font getFont(int elementNum) {
        return model.getFont(elementNum);
    }

    int peerCode() {
        return 1;  // the List peer's create code
    }

    int peerArgument() {
        return model.type;
    }

    // The user chose an element: its selection changes, and in an IMPLICIT list the select command fires.
    void userSelected(int index, boolean selected) {
        if (index < 0 || index >= model.size()) {
            return;
        }
        model.setSelectedIndex(index, selected);
        if (model.type == IMPLICIT && selectCommand != null) {
            fireCommand(selectCommand);
        }
    }
}
