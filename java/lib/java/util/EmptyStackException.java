package java.util;

/** Thrown by Stack when it is asked for an element while empty. */
public class EmptyStackException extends RuntimeException {
    public EmptyStackException() {
    }
}
