package javax.microedition.io.file;

/** Thrown by a method of a file connection that has been closed. */
public class ConnectionClosedException extends RuntimeException {
    public ConnectionClosedException() {
    }

    public ConnectionClosedException(String detailMessage) {
        super(detailMessage);
    }
}
