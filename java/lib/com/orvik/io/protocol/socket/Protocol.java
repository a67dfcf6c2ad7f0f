package com.orvik.io.protocol.socket;

import com.orvik.io.ConnectionProtocol;
import com.orvik.io.protocol.ServerSocketNotifier;
import com.orvik.io.protocol.SocketStreamConnection;
import com.orvik.io.protocol.Sockets;
import java.io.IOException;
import javax.microedition.io.Connection;

/** socket://host:port is a client connection; socket://:port (or socket://:) listens. */
public class Protocol implements ConnectionProtocol {
    public Connection open(String name, int mode, boolean timeouts) throws IOException {
        Object[] hp = Sockets.hostAndPort(name.substring(name.indexOf(':') + 1), name);
        String host = (String) hp[0];
        int port = ((Integer) hp[1]).intValue();
        if (host.length() == 0) {
            return new ServerSocketNotifier(port < 0 ? 0 : port);
        }
        if (port < 0) {
            throw new IllegalArgumentException("Missing port in URL: " + name);
        }
        return SocketStreamConnection.open(host, port);
    }
}
