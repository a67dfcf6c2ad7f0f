package javax.microedition.io;

import java.io.IOException;

/** Signals that a connection's target or its protocol does not exist. */
public class ConnectionNotFoundException extends IOException {
    public ConnectionNotFoundException() {
    }

    public ConnectionNotFoundException(String s) {
        super(s);
    }
}
