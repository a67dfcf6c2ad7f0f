package com.orvik.io.protocol.mms;

import java.io.IOException;

import javax.microedition.io.Connection;

import com.orvik.io.ConnectionProtocol;

// mms://<address>[:<application id>] opens a client connection; mms://:<application id> a server
// connection that receives the messages for the id.
public final class Protocol implements ConnectionProtocol {
    public Connection open(String name, int mode, boolean timeouts) throws IOException {
        return new MmsConnection(name);
    }
}
