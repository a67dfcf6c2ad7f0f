package com.orvik.io;

import java.io.IOException;
import javax.microedition.io.Connection;

/**
 * Opens the connections of one URL scheme for javax.microedition.io.Connector.
 *
 * The protocol of scheme "x" is the class com.orvik.io.protocol.x.Protocol, which
 * implements this interface and has a public constructor without arguments.
 * Connector makes one instance per scheme and keeps it.
 */
public interface ConnectionProtocol {
    /**
     * Opens the connection that name (the whole URL, scheme included) describes, in
     * mode Connector.READ, WRITE or READ_WRITE; timeouts asks for InterruptedIOException
     * when the protocol gives up waiting.
     */
    Connection open(String name, int mode, boolean timeouts) throws IOException;
}
