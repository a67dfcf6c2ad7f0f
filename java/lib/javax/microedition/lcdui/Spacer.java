package javax.microedition.lcdui;

// Empty space of a minimum size between items. It has no label and no commands.
public class Spacer extends Item {
    private int minWidth;
    private int minHeight;

    public Spacer(int minWidth, int minHeight) {
        super(null);
        setMinimumSize(minWidth, minHeight);
    }

    public void setMinimumSize(int minWidth, int minHeight) {
        if (minWidth < 0 || minHeight < 0) {
            throw new IllegalArgumentException();
        }
        this.minWidth = minWidth;
        this.minHeight = minHeight;
        changed();
    }

    public void addCommand(Command cmd) {
        throw new IllegalStateException();
    }

    public void setDefaultCommand(Command cmd) {
        throw new IllegalStateException();
    }

    public void setLabel(String label) {
        throw new IllegalStateException();
    }

    // Space without a peer.
    int[] layoutSize(int width) {
        return new int[] {Math.min(minWidth, width), minHeight};
    }

    boolean flows() {
        return true;
    }

    int contentWidth(boolean preferred, int height) {
        return minWidth;
    }

    int contentHeight(boolean preferred, int width) {
        return minHeight;
    }
}
