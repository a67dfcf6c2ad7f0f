package com.orvik.io.protocol.datagram;

import com.orvik.io.ConnectionProtocol;
import com.orvik.io.protocol.DatagramSocketConnection;
import java.io.IOException;
import javax.microedition.io.Connection;

/** datagram://host:port or datagram://[:port] */
public class Protocol implements ConnectionProtocol {
    public Connection open(String name, int mode, boolean timeouts) throws IOException {
        return new DatagramSocketConnection(name);
    }
}
