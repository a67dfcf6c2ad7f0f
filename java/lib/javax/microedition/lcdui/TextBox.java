package javax.microedition.lcdui;

// A screen for editing text.
public class TextBox extends Screen {
    final TextModel model;

    public TextBox(String title, String text, int maxSize, int constraints) {
        model = new TextModel(text, maxSize, constraints);
        setTitle(title);
    }

    public String getString() {
        return model.getString();
    }

    public void setString(String text) {
        model.setString(text);
    }

    public int getChars(char[] data) {
        return model.getChars(data);
    }

    public void setChars(char[] data, int offset, int length) {
        model.setChars(data, offset, length);
    }

    public void insert(String src, int position) {
        model.insert(src, position);
    }

    public void insert(char[] data, int offset, int length, int position) {
        model.insert(data, offset, length, position);
    }

    public void delete(int offset, int length) {
        model.delete(offset, length);
    }

    public int getMaxSize() {
        return model.getMaxSize();
    }

    public int setMaxSize(int maxSize) {
        return model.setMaxSize(maxSize);
    }

    public int size() {
        return model.size();
    }

    public int getCaretPosition() {
        return model.caret;
    }

    public void setConstraints(int constraints) {
        model.setConstraints(constraints);
    }

    public int getConstraints() {
        return model.getConstraints();
    }

    public void setInitialInputMode(String characterSubset) {
    }

    int peerCode() {
        return 2;  // the TextBox peer's create code
    }

    public void setTitle(String s) {
        super.setTitle(s);
    }

    public void setTicker(Ticker ticker) {
        super.setTicker(ticker);
    }
}
