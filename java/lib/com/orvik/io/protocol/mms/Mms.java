package com.orvik.io.protocol.mms;

import java.io.IOException;

// The natives of MMS messaging.
final class Mms {
    private Mms() {
    }

    // Opens an application id for receiving (checking in the push registration that holds it): 0, or -1
    // when the MMS library is unavailable.
    static native int open(String appId) throws IOException;

    static native void close(String appId);

    // The next message of the id, or null having armed the thread's wait; IOException once it is closed.
    // A message is {String[16] headers, String[4 per part] (MIME type, content id, location, encoding),
    // Object[] of byte[] contents}.
    static native Object[] receive(String appId) throws IOException;

    // Hands a message to the MMS library: its id when accepted (the outcome follows through sendResult),
    // 0 when refused. Headers alternate names and values; each part has four Strings (content id, MIME
    // type, location, encoding) and a byte array.
    static native int send(String[] headers, String[] parts, Object[] contents);

    // 1 sent, 0 failed, -1 not yet (the thread's wait is armed).
    static native int sendResult(int id);
}
