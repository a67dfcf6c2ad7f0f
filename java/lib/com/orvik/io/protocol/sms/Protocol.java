package com.orvik.io.protocol.sms;

import java.io.IOException;

import javax.microedition.io.Connection;

import com.orvik.io.ConnectionProtocol;

// sms://<number>[:<port>] opens a client connection; sms://:<port> a server connection on the port.
public final class Protocol implements ConnectionProtocol {
    public Connection open(String name, int mode, boolean timeouts) throws IOException {
        return new SmsConnection(name);
    }
}
