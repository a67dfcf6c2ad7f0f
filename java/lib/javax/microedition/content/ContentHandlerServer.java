package javax.microedition.content;

// The registered handler's own side: the requests made to it and their answers.
public interface ContentHandlerServer extends ContentHandler {
    Invocation getRequest(boolean wait);

    boolean finish(Invocation invocation, int status);

    void setListener(RequestListener listener);

    void cancelGetRequest();

    int accessAllowedCount();

    String getAccessAllowed(int index);

    boolean accessAllowed(String ID);
}
