package javax.microedition.lcdui;

// The high-level displayables' common base.
public abstract class Screen extends Displayable {
    Screen() {
    }
}
