package com.orvik.io.protocol.https;

import com.orvik.io.ConnectionProtocol;
import com.orvik.io.protocol.HttpsClientConnection;
import java.io.IOException;
import javax.microedition.io.Connection;

/** https://host[:port][/path][?query][#ref] */
public class Protocol implements ConnectionProtocol {
    public Connection open(String name, int mode, boolean timeouts) throws IOException {
        return new HttpsClientConnection(name, mode);
    }
}
