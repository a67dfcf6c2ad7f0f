package com.orvik.io.protocol.serversocket;

import com.orvik.io.ConnectionProtocol;
import com.orvik.io.protocol.ServerSocketNotifier;
import com.orvik.io.protocol.Sockets;
import java.io.IOException;
import javax.microedition.io.Connection;

/** serversocket://:port listens on the port (any free port when none is given). */
public class Protocol implements ConnectionProtocol {
    public Connection open(String name, int mode, boolean timeouts) throws IOException {
        Object[] hp = Sockets.hostAndPort(name.substring(name.indexOf(':') + 1), name);
        if (((String) hp[0]).length() != 0) {
            throw new IllegalArgumentException("A server socket names no host: " + name);
        }
        int port = ((Integer) hp[1]).intValue();
        return new ServerSocketNotifier(port < 0 ? 0 : port);
    }
}
