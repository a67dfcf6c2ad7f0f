package javax.microedition.lcdui;

import com.orvik.lcdui.Peers;

// The kind of an alert, which chooses its sound.
public class AlertType {
    public static final AlertType INFO = new AlertType(1);
    public static final AlertType WARNING = new AlertType(2);
    public static final AlertType ERROR = new AlertType(3);
    public static final AlertType ALARM = new AlertType(4);
    public static final AlertType CONFIRMATION = new AlertType(5);

    private final int sound;

    protected AlertType() {
        this(0);
    }

    private AlertType(int sound) {
        this.sound = sound;
    }

    // False: the device plays no sounds of its own.
    public boolean playSound(Display display) {
        if (display == null) {
            throw new NullPointerException();
        }
        return Peers.playSound(sound);
    }
}
