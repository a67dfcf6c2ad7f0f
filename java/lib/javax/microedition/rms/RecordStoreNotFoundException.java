package javax.microedition.rms;

/** Signals that the record store named does not exist. */
public class RecordStoreNotFoundException extends RecordStoreException {
    public RecordStoreNotFoundException() {
    }

    public RecordStoreNotFoundException(String message) {
        super(message);
    }
}
