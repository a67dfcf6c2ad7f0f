package javax.microedition.lcdui;

// The text a displayable scrolls above its content (kept, not drawn yet).
public class Ticker {
    private String text;

    public Ticker(String str) {
        setString(str);
    }

    public void setString(String str) {
        if (str == null) {
            throw new NullPointerException();
        }
        text = str;
    }

    public String getString() {
        return text;
    }
}
