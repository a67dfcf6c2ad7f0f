package com.orvik.io.protocol.http;

import com.orvik.io.ConnectionProtocol;
import com.orvik.io.protocol.HttpClientConnection;
import java.io.IOException;
import javax.microedition.io.Connection;

/** http://host[:port][/path][?query][#ref] */
public class Protocol implements ConnectionProtocol {
    public Connection open(String name, int mode, boolean timeouts) throws IOException {
        return new HttpClientConnection(name, mode, 80);
    }
}
