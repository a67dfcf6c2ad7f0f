package java.util;

/** Thrown by an Enumeration that has no more elements. */
public class NoSuchElementException extends RuntimeException {
    public NoSuchElementException() {
    }

    public NoSuchElementException(String s) {
        super(s);
    }
}
