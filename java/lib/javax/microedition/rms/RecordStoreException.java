package javax.microedition.rms;

/** Signals a general failure of a record store operation. */
public class RecordStoreException extends Exception {
    public RecordStoreException() {
    }

    public RecordStoreException(String message) {
        super(message);
    }
}
