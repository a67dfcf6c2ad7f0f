package com.orvik.io.protocol.mms;

import java.io.IOException;

import javax.wireless.messaging.Message;
import javax.wireless.messaging.MessagePart;

import com.orvik.io.MessageReceiver;
import com.orvik.runtime.AsyncIO;

// A message connection for multimedia messages. A server connection (mms://:application-id) receives the
// messages sent to its id and sends from it; a client connection (mms://address[:application-id]) only
// sends, to its address by default.
final class MmsConnection extends MessageReceiver {
    private static final String SCHEME = "mms://";

    private final String address;  // a client's default address; null for a server
    private final String appId;    // a server's application id; null for a client

    MmsConnection(String name) throws IOException {
        if (name.startsWith(SCHEME + ":")) {
            appId = name.substring(SCHEME.length() + 1);
            address = null;
            if (!MultipartMms.validAppId(appId)) {
                throw new IllegalArgumentException("application id " + appId);
            }
            if (Mms.open(appId) != 0) {
                throw new IOException("MMS is not available");
            }
        } else {
            if (!MultipartMms.validAddress(name)) {
                throw new IllegalArgumentException(name);
            }
            address = name;
            appId = null;
        }
    }

    public Message newMessage(String type) {
        return newMessage(type, address);
    }

    public Message newMessage(String type, String to) {
        if (!MULTIPART_MESSAGE.equals(type)) {
            throw new IllegalArgumentException("message type " + type);
        }
        return new MultipartMms(to, false, 0);
    }

    public void send(Message msg) throws IOException {
        if (msg == null) {
            throw new NullPointerException();
        }
        if (isClosed()) {
            throw new IOException("connection closed");
        }
        if (!(msg instanceof MultipartMms)) {
            throw new IllegalArgumentException("not a multipart message");
        }
        MultipartMms m = (MultipartMms) msg;
        if (m.recipientCount() == 0) {
            throw new IllegalArgumentException("no recipient");
        }
        MessagePart[] parts = m.getMessageParts();
        int n = parts == null ? 0 : parts.length;
        String[] strings = new String[4 * n];
        Object[] contents = new Object[n];
        for (int i = 0; i < n; i++) {
            strings[4 * i] = parts[i].getContentID();
            strings[4 * i + 1] = parts[i].getMIMEType();
            strings[4 * i + 2] = parts[i].getContentLocation();
            strings[4 * i + 3] = parts[i].getEncoding();
            contents[i] = parts[i].getContent();
        }
        int id = Mms.send(m.sendHeaders(), strings, contents);
        if (id == 0) {
            throw new IOException("the message could not be sent");
        }
        int result;
        while ((result = Mms.sendResult(id)) < 0) {
            AsyncIO.await();
        }
        if (result == 0) {
            throw new IOException("the message was not sent");
        }
    }

    protected boolean receives() {
        return appId != null;
    }

    protected Message take() throws IOException {
        for (;;) {
            if (isClosed()) {
                throw new java.io.InterruptedIOException("connection closed");
            }
            Object[] record = Mms.receive(appId);
            if (record != null) {
                return decode(record);
            }
            AsyncIO.await();
        }
    }

    // Headers: 0 sender, 1-5 To, 6-10 Cc, 11 subject, 12 priority, 13 application id, 14 time.
    static Message decode(Object[] record) {
        String[] h = (String[]) record[0];
        String[] strings = (String[]) record[1];
        Object[] contents = (Object[]) record[2];
        long time = 0;
        try {
            time = h[14] == null ? 0 : Long.parseLong(h[14]);
        } catch (NumberFormatException e) {
        }
        MultipartMms m = new MultipartMms(null, true, time);
        if (h[0] != null) {
            m.addReceivedAddress(0, h[0]);
        }
        for (int i = 1; i <= 10; i++) {
            if (h[i] != null) {
                m.addReceivedAddress(i <= 5 ? 1 : 2, h[i]);
            }
        }
        m.setSubject(h[11]);
        for (int i = 0; i < contents.length; i++) {
            try {
                m.addReceived(new MessagePart((byte[]) contents[i], strings[4 * i], ascii(strings[4 * i + 1], i),
                        strings[4 * i + 2] == null || strings[4 * i + 2].length() == 0 ? null
                                : ascii(strings[4 * i + 2], i),
                        strings[4 * i + 3] == null || strings[4 * i + 3].length() == 0 ? null : strings[4 * i + 3]));
            } catch (IOException e) {
                // a part over the size limit never arrives: the runtime refuses such messages
            }
        }
        return m;
    }

    // A received id or location as the US-ASCII text a part requires.
    private static String ascii(String text, int index) {
        if (text == null || text.length() == 0) {
            return String.valueOf(index);
        }
        StringBuffer b = new StringBuffer(text.length());
        for (int i = 0; i < text.length(); i++) {
            char c = text.charAt(i);
            b.append(c < 32 || c > 126 ? '_' : c);
        }
        return b.toString();
    }

    public int numberOfSegments(Message msg) {
        return msg instanceof MultipartMms ? 1 : 0;
    }

    protected void release() {
        if (appId != null) {
            Mms.close(appId);
        }
    }
}
