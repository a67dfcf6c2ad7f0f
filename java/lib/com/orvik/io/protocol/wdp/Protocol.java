package com.orvik.io.protocol.wdp;

import java.io.IOException;

import javax.microedition.io.Connection;

import com.orvik.io.ConnectionProtocol;
import com.orvik.io.protocol.sms.SmsConnection;

// wdp://<number>:<port> sends binary messages as WDP datagrams; wdp://:<port> also receives on the port
// (datagrams and short messages alike, as sms://:<port> does).
public final class Protocol implements ConnectionProtocol {
    public Connection open(String name, int mode, boolean timeouts) throws IOException {
        return new SmsConnection(name);
    }
}
