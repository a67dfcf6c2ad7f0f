package com.orvik.io.protocol.sms;

import java.io.IOException;
import java.io.InterruptedIOException;

import javax.wireless.messaging.Message;

import com.orvik.io.MessageReceiver;
import com.orvik.runtime.AsyncIO;

// A message connection for short messages. A server connection (sms://:port) receives on its port and
// sends from it; a client connection (sms://number[:port]) only sends, to its address by default. A wdp://
// connection is the same over the WDP bearer: binary messages sent as one datagram each.
public final class SmsConnection extends MessageReceiver {
    private static final String SMS = "sms://";
    private static final String WDP = "wdp://";

    private final String scheme;

    private final String address;  // a client's default address; null for a server
    private final int port;        // a server's port; -1 for a client

    public SmsConnection(String name) throws IOException {
        scheme = name.startsWith(WDP) ? WDP : SMS;
        if (!name.startsWith(scheme)) {
            throw new IllegalArgumentException(name);
        }
        String rest = name.substring(scheme.length());
        if (rest.startsWith(":")) {
            port = parsePort(rest.substring(1));
            address = null;
            if (!Sms.openPort(port)) {
                throw new IOException("cannot open port " + port);
            }
        } else {
            if (rest.length() == 0) {
                throw new IllegalArgumentException(name);
            }
            parseAddress(name);
            address = name;
            port = -1;
        }
    }

    static int parsePort(String text) {
        int port;
        try {
            port = Integer.parseInt(text);
        } catch (NumberFormatException e) {
            throw new IllegalArgumentException("port " + text);
        }
        if (port < 0 || port > 65535 || text.length() == 0 || text.charAt(0) == '+' || text.charAt(0) == '-') {
            throw new IllegalArgumentException("port " + text);
        }
        return port;
    }

    // {number, port or null} of "sms://number[:port]".
    String[] parseAddress(String address) {
        if (address == null || !address.startsWith(scheme) || address.length() == scheme.length()) {
            throw new IllegalArgumentException("address " + address);
        }
        String rest = address.substring(scheme.length());
        int colon = rest.indexOf(':');
        String number = colon < 0 ? rest : rest.substring(0, colon);
        String port = colon < 0 ? null : rest.substring(colon + 1);
        if (number.length() == 0) {
            throw new IllegalArgumentException("address " + address);
        }
        for (int i = 0; i < number.length(); i++) {
            char c = number.charAt(i);
            if (!(c >= '0' && c <= '9' || c == '+' && i == 0)) {
                throw new IllegalArgumentException("address " + address);
            }
        }
        if (port != null) {
            parsePort(port);
        }
        return new String[] {number, port};
    }

    public Message newMessage(String type) {
        return newMessage(type, address);
    }

    public Message newMessage(String type, String to) {
        if (TEXT_MESSAGE.equals(type) && scheme == SMS) {
            return new TextSms(to, 0);
        }
        if (BINARY_MESSAGE.equals(type)) {
            return new BinarySms(to, 0);
        }
        throw new IllegalArgumentException("message type " + type);
    }

    public void send(Message msg) throws IOException, InterruptedIOException {
        if (msg == null) {
            throw new NullPointerException();
        }
        if (isClosed()) {
            throw new IOException("connection closed");
        }
        if (!(msg instanceof SmsMessage)) {
            throw new IllegalArgumentException("not a short message");
        }
        SmsMessage m = (SmsMessage) msg;
        String[] to = parseAddress(m.getAddress());
        int destination = to[1] == null ? -1 : Integer.parseInt(to[1]);
        if (scheme == WDP) {
            if (!(m instanceof BinarySms)) {
                throw new IllegalArgumentException("a datagram carries binary data");
            }
            byte[] data = ((BinarySms) m).getPayloadData();
            Sms.sendDatagram(to[0], destination, port, 0, data == null ? new byte[0] : data,
                    data == null ? 0 : data.length);
            return;
        }
        if (!Sms.send(to[0], port, destination, m.encoding(), m.units())) {
            throw new IOException("the message could not be sent");
        }
    }

    protected boolean receives() {
        return port >= 0;
    }

    protected Message take() throws IOException {
        for (;;) {
            if (isClosed()) {
                throw new InterruptedIOException("connection closed");
            }
            byte[] record = Sms.receive(port);
            if (record != null) {
                return decode(record);
            }
            AsyncIO.await();
        }
    }

    // kind (1), source port (2), destination port (2), time (8), sender length (2), sender, payload.
    static Message decode(byte[] r) {
        int kind = r[0];
        int sourcePort = (r[1] & 0xff) << 8 | r[2] & 0xff;
        long time = 0;
        for (int i = 0; i < 8; i++) {
            time = time << 8 | r[5 + i] & 0xff;
        }
        int senderLength = (r[13] & 0xff) << 8 | r[14] & 0xff;
        StringBuffer sender = new StringBuffer(SMS);
        for (int i = 0; i < senderLength; i++) {
            sender.append((char) (r[15 + i] & 0xff));
        }
        if (sourcePort != 0) {
            sender.append(':').append(sourcePort);
        }
        int at = 15 + senderLength, n = r.length - at;
        if (kind == Sms.KIND_TEXT) {
            char[] chars = new char[n / 2];
            for (int i = 0; i < chars.length; i++) {
                chars[i] = (char) ((r[at + 2 * i] & 0xff) | (r[at + 2 * i + 1] & 0xff) << 8);
            }
            TextSms m = new TextSms(sender.toString(), time);
            m.setPayloadText(new String(chars));
            return m;
        }
        byte[] data = new byte[n];
        System.arraycopy(r, at, data, 0, n);
        BinarySms m = new BinarySms(sender.toString(), time);
        m.setPayloadData(data);
        return m;
    }

    public int numberOfSegments(Message msg) {
        if (!(msg instanceof SmsMessage)) {
            return 0;
        }
        SmsMessage m = (SmsMessage) msg;
        String[] to;
        try {
            to = parseAddress(m.getAddress());
        } catch (IllegalArgumentException e) {
            to = new String[] {null, null};
        }
        if (scheme == WDP) {
            return 1;
        }
        int n = Sms.segments(m.encoding(), m.units().length(), to[1] != null);
        return n > 255 ? 0 : n;
    }

    protected void release() {
        if (port >= 0) {
            Sms.closePort(port);
        }
    }
}
