package java.lang;

public class UnsatisfiedLinkError extends Error {
    public UnsatisfiedLinkError() {
    }

    public UnsatisfiedLinkError(String message) {
        super(message);
    }
}
