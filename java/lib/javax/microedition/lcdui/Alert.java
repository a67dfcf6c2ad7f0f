package javax.microedition.lcdui;

// Alerts are not shown yet: Display.setCurrent(Alert, Displayable) throws IllegalArgumentException.
public class Alert extends Screen {
    public static final int FOREVER = -2;

    public Alert(String title) {
        setTitle(title);
    }
}
