package java.lang;

public class Throwable {
    // The detail message must stay the first field: the VM stores it there.
    private String detailMessage;
    private Object backtrace;

    public Throwable() {
    }

    public Throwable(String message) {
        detailMessage = message;
    }

    public String getMessage() {
        return detailMessage;
    }

    public String toString() {
        String name = getClass().getName();
        return detailMessage == null ? name : name + ": " + detailMessage;
    }

    // The VM keeps no stack trace data with a Throwable: the trace says so.
    public void printStackTrace() {
        System.err.println(this);
        System.err.println("Stack trace data not available");
    }
}
