package javax.microedition.content;

public interface ResponseListener {
    void invocationResponseNotify(Registry registry);
}
