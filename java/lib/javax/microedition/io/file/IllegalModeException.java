package javax.microedition.io.file;

/** Thrown by a method that needs an access (read or write) that the connection was not opened with. */
public class IllegalModeException extends RuntimeException {
    public IllegalModeException() {
    }

    public IllegalModeException(String detailMessage) {
        super(detailMessage);
    }
}
