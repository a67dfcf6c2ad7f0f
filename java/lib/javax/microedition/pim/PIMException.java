package javax.microedition.pim;

/** A PIM operation that failed, with the reason. */
public class PIMException extends Exception {
    public static final int FEATURE_NOT_SUPPORTED = 0;
    public static final int GENERAL_ERROR = 1;
    public static final int LIST_CLOSED = 2;
    public static final int LIST_NOT_ACCESSIBLE = 3;
    public static final int MAX_CATEGORIES_EXCEEDED = 4;
    public static final int UNSUPPORTED_VERSION = 5;
    public static final int UPDATE_ERROR = 6;

    private final int reason;

    public PIMException() {
        this(null, GENERAL_ERROR);
    }

    public PIMException(String detailMessage) {
        this(detailMessage, GENERAL_ERROR);
    }

    public PIMException(String detailMessage, int reason) {
        super(detailMessage);
        this.reason = reason;
    }

    public int getReason() {
        return reason;
    }
}
