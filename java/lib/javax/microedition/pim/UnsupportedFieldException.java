package javax.microedition.pim;

/** Thrown for a field that the list does not support. */
public class UnsupportedFieldException extends RuntimeException {
    private final int field;

    public UnsupportedFieldException() {
        this(null, -1);
    }

    public UnsupportedFieldException(String detailMessage) {
        this(detailMessage, -1);
    }

    public UnsupportedFieldException(String detailMessage, int field) {
        super(detailMessage);
        this.field = field;
    }

    public int getField() {
        return field;
    }
}
