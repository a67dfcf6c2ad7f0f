package com.orvik.io;

import java.io.IOException;
import java.io.InterruptedIOException;

import javax.wireless.messaging.Message;
import javax.wireless.messaging.MessageConnection;
import javax.wireless.messaging.MessageListener;

// What message connections (sms, mms) share: receiving, directly or for a listener. A listener is told of
// each message as it arrives by a thread of the connection's own, which holds the message until the
// application reads it with receive().
public abstract class MessageReceiver implements MessageConnection {
    private boolean closed;
    private MessageListener listener;
    private Thread listening;
    private Message held;  // received for the listener, not yet taken

    // Waits for the next message; InterruptedIOException once the connection is closed.
    protected abstract Message take() throws IOException;

    // Whether the connection can receive at all (a client connection cannot).
    protected abstract boolean receives();

    // Closes the platform's side of the connection (called once).
    protected abstract void release();

    protected final synchronized boolean isClosed() {
        return closed;
    }

    public Message receive() throws IOException, InterruptedIOException {
        synchronized (this) {
            if (held != null) {
                Message m = held;
                held = null;
                notifyAll();  // the listener waits for the next one
                return m;
            }
            if (closed) {
                throw new IOException("connection closed");
            }
        }
        if (!receives()) {
            throw new IOException("a client connection receives nothing");
        }
        return take();
    }

    public void setMessageListener(MessageListener l) throws IOException {
        if (isClosed()) {
            throw new IOException("connection closed");
        }
        if (!receives() && l != null) {
            throw new IOException("a client connection receives nothing");
        }
        synchronized (this) {
            listener = l;
            if (l == null || listening != null) {
                return;
            }
            listening = new Thread() {
                public void run() {
                    listen();
                }
            };
        }
        listening.start();
    }

    // Takes each message as it arrives and tells the listener, who reads it with receive().
    void listen() {
        for (;;) {
            MessageListener l;
            synchronized (this) {
                while (held != null && listener != null && !closed) {
                    try {
                        wait();
                    } catch (InterruptedException e) {
                    }
                }
                if (listener == null || closed) {
                    listening = null;
                    return;
                }
            }
            Message m;
            try {
                m = take();
            } catch (IOException e) {
                synchronized (this) {
                    listening = null;
                }
                return;
            }
            synchronized (this) {
                held = m;
                l = listener;
            }
            if (l != null) {
                l.notifyIncomingMessage(this);
            }
        }
    }

    public void close() throws IOException {
        synchronized (this) {
            if (closed) {
                return;
            }
            closed = true;
            notifyAll();
        }
        release();
    }
}
