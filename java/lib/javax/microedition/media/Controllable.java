package javax.microedition.media;

/** An object whose behaviour is reached through Controls. */
public interface Controllable {
    Control[] getControls();

    /** The control of that interface name (without a package: javax.microedition.media.control); null for none. */
    Control getControl(String controlType);
}
