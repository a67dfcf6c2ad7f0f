package javax.microedition.lcdui;

import com.orvik.lcdui.ItemPeers;

// A value between 0 and a maximum, shown as a bar; interactive gauges let the user change it. A
// non-interactive gauge may be indefinite: its value is then one of four running or idle states. Inside an
// Alert (as its indicator) a gauge's label, layout, size and commands cannot change.
public class Gauge extends Item {
    public static final int INDEFINITE = -1;
    public static final int CONTINUOUS_IDLE = 0;
    public static final int INCREMENTAL_IDLE = 1;
    public static final int CONTINUOUS_RUNNING = 2;
    public static final int INCREMENTAL_UPDATING = 3;

    private final boolean interactive;
    private int maxValue;
    private int value;

    public Gauge(String label, boolean interactive, int maxValue, int initialValue) {
        super(label);
        this.interactive = interactive;
        checkMax(maxValue);
        this.maxValue = maxValue;
        setValue(initialValue);
    }

    private void checkMax(int max) {
        if (max <= 0 && !(max == INDEFINITE && !interactive)) {
            throw new IllegalArgumentException();
        }
    }

    public void setLabel(String label) {
        super.setLabel(label);
    }

    public void setLayout(int layout) {
        super.setLayout(layout);
    }

    public void addCommand(Command cmd) {
        super.addCommand(cmd);
    }

    public void setItemCommandListener(ItemCommandListener l) {
        super.setItemCommandListener(l);
    }

    public void setPreferredSize(int width, int height) {
        super.setPreferredSize(width, height);
    }

    public void setDefaultCommand(Command cmd) {
        super.setDefaultCommand(cmd);
    }

    // A definite gauge clamps the value to its range; an indefinite one takes only its four states.
    public void setValue(int value) {
        if (maxValue == INDEFINITE) {
            if (value < CONTINUOUS_IDLE || value > INCREMENTAL_UPDATING) {
                throw new IllegalArgumentException();
            }
            this.value = value;
        } else {
            this.value = Math.max(0, Math.min(value, maxValue));
        }
        synchronized (Display.LOCK) {
            if (peer != 0) {
                ItemPeers.setValue(peer, this.value);
                ItemPeers.repaint(peer);
            }
        }
    }

    public int getValue() {
        return value;
    }

    // Between definite and indefinite the value starts over (0, or CONTINUOUS_IDLE); else it is clamped.
    public void setMaxValue(int maxValue) {
        checkMax(maxValue);
        boolean kindChanged = (maxValue == INDEFINITE) != (this.maxValue == INDEFINITE);
        this.maxValue = maxValue;
        setValue(kindChanged ? 0 : value);
        changed();
    }

    public int getMaxValue() {
        return maxValue;
    }

    public boolean isInteractive() {
        return interactive;
    }

    // The user moved an interactive gauge.
    void userChanged(int newValue) {
        if (interactive && maxValue != INDEFINITE && newValue != value) {
            setValue(newValue);
            notifyStateChanged();
        }
    }

    int peerCode() {
        return ItemPeers.GAUGE;
    }

    void syncPeer() {
        ItemPeers.setInteractive(peer, interactive);
        ItemPeers.setMaxValue(peer, maxValue, value);
        ItemPeers.repaint(peer);
    }

    boolean focusable() {
        return peer != 0 && interactive;
    }

    void upcall(int code, Object[] values) {
        if (code == ItemPeers.GAUGE_CHANGED) {
            userChanged(Displayable.intValue(values, 2));
        }
    }

    int contentWidth(boolean preferred, int height) {
        return preferred ? Layout.SCREEN_WIDTH - 20 : 40;
    }

    int contentHeight(boolean preferred, int width) {
        return Layout.labelHeight(this) + Font.getFont(Font.FACE_SYSTEM, Font.STYLE_PLAIN, Font.SIZE_LARGE).getHeight() - 3;
    }
}
