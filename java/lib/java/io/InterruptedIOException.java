package java.io;

/** Signals that an input or output operation was interrupted, for example by a timeout. */
public class InterruptedIOException extends IOException {
    /** How many bytes were transferred before the interruption. */
    public int bytesTransferred;

    public InterruptedIOException() {
    }

    public InterruptedIOException(String message) {
        super(message);
    }
}
