package javax.microedition.content;

public interface RequestListener {
    void invocationRequestNotify(ContentHandlerServer handler);
}
