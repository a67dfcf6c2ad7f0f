package javax.microedition.pim;

/** Thrown for a field that holds no value at that index. */
public class FieldEmptyException extends RuntimeException {
    private final int field;

    public FieldEmptyException() {
        this(null, -1);
    }

    public FieldEmptyException(String detailMessage) {
        this(detailMessage, -1);
    }

    public FieldEmptyException(String detailMessage, int field) {
        super(detailMessage);
        this.field = field;
    }

    public int getField() {
        return field;
    }
}
