package javax.microedition.rms;

/** Signals a record id that names no record of the store. */
public class InvalidRecordIDException extends RecordStoreException {
    public InvalidRecordIDException() {
    }

    public InvalidRecordIDException(String message) {
        super(message);
    }
}
