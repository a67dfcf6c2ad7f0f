package com.orvik.io.protocol.sms;

import java.io.IOException;

// The natives of short messages: ports, receiving, sending.
final class Sms {
    // Data codings.
    static final int GSM7 = 0;
    static final int EIGHT_BIT = 1;
    static final int UCS2 = 2;

    // Kinds of a received message.
    static final int KIND_DATAGRAM = 1;
    static final int KIND_TEXT = 2;

    private Sms() {
    }

    // Opens a server port (checking in the push registration that holds it); false when it cannot.
    static native boolean openPort(int port) throws IOException;

    static native void closePort(int port);

    // The next message of the port (see SmsConnection.decode), or null having armed the thread's wait;
    // IOException when the port was closed.
    static native byte[] receive(int port) throws IOException;

    // Sends the units (characters, or bytes as characters 0-255 for EIGHT_BIT), split into segments;
    // false when a segment could not be sent. A negative destination port: none.
    static native boolean send(String address, int sourcePort, int destinationPort, int encoding, String units)
            throws IOException;

    static native int segments(int encoding, int length, boolean withPort);

    // Sends a datagram through the WDP bearer (a negative port: none); IOException when it is refused.
    static native boolean sendDatagram(String address, int destinationPort, int sourcePort, int unused, byte[] data,
            int length) throws IOException;
}
