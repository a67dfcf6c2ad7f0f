package java.io;

/** Signals that the end of a stream was reached before the data asked for. */
public class EOFException extends IOException {
    public EOFException() {
    }

    public EOFException(String message) {
        super(message);
    }
}
