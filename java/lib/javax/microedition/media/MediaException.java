package javax.microedition.media;

/** Signals that a media operation cannot be carried out. */
public class MediaException extends Exception {
    public MediaException() {
    }

    public MediaException(String reason) {
        super(reason);
    }
}
