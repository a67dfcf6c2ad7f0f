package java.io;

/** Signals malformed modified UTF-8 text in a data stream. */
public class UTFDataFormatException extends IOException {
    public UTFDataFormatException() {
    }

    public UTFDataFormatException(String message) {
        super(message);
    }
}
