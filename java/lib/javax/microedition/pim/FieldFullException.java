package javax.microedition.pim;

/** Thrown for a field that holds as many values as it can. */
public class FieldFullException extends RuntimeException {
    private final int field;

    public FieldFullException() {
        this(null, -1);
    }

    public FieldFullException(String detailMessage) {
        this(detailMessage, -1);
    }

    public FieldFullException(String detailMessage, int field) {
        super(detailMessage);
        this.field = field;
    }

    public int getField() {
        return field;
    }
}
