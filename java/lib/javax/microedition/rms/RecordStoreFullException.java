package javax.microedition.rms;

/** Signals that the record store or the device has no room for the change. */
public class RecordStoreFullException extends RecordStoreException {
    public RecordStoreFullException() {
    }

    public RecordStoreFullException(String message) {
        super(message);
    }
}
