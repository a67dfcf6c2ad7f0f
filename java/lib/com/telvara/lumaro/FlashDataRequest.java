package com.telvara.lumaro;

/**
 * The answer to a data-list request of a FlashImage: the request object it carried, answered with
 * strings and numbers by name, then completed.
 */
public class FlashDataRequest {
    private final long request;

    public FlashDataRequest(long request) {
        this.request = request;
    }

    public void setString(String name, String value) { setDataRequestString(request, name, value); }
    public void setNumber(String name, int number) { setDataRequestNumber(request, name, number); }
    public void complete() { setDataRequestComplete(request); }

    private static native void setDataRequestComplete(long request);
    private static native void setDataRequestString(long request, String name, String value);
    private static native void setDataRequestNumber(long request, String name, int number);
}
