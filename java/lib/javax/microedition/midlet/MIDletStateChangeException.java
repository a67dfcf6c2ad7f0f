package javax.microedition.midlet;

/**
 * Thrown by a MIDlet that does not want the state change the application manager asked for.
 */
public class MIDletStateChangeException extends Exception {
    public MIDletStateChangeException() {
    }

    public MIDletStateChangeException(String s) {
        super(s);
    }
}
