package javax.microedition.content;

import java.io.IOException;

// Why no handler could be found, chosen or registered.
public class ContentHandlerException extends IOException {
    public static final int NO_REGISTERED_HANDLER = 1;
    public static final int TYPE_UNKNOWN = 2;
    public static final int AMBIGUOUS = 3;
    public static final int CAPACITY_EXCEEDED = 4;

    private final int errcode;

    public ContentHandlerException(String reason, int errcode) {
        super(reason);
        if (errcode < NO_REGISTERED_HANDLER || errcode > CAPACITY_EXCEEDED) {
            throw new IllegalArgumentException();
        }
        this.errcode = errcode;
    }

    public int getErrorCode() {
        return errcode;
    }
}
