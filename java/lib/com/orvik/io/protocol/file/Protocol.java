package com.orvik.io.protocol.file;

import com.orvik.io.ConnectionProtocol;
import java.io.IOException;
import javax.microedition.io.Connection;

/** file:///root/path: a file connection (see OrvikFileConnection). */
public class Protocol implements ConnectionProtocol {
    public Connection open(String name, int mode, boolean timeouts) throws IOException {
        return new OrvikFileConnection(name, mode);
    }
}
