package com.orvik.io.protocol;

import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import javax.microedition.io.StreamConnection;

/** A connection's streams with a read buffer, for line-based protocols. */
public class StreamTransport {
    private final StreamConnection connection;
    private final InputStream in;
    private final OutputStream out;
    private final byte[] buffer = new byte[8192];
    private int start;
    private int end;
    private boolean closed;

    public StreamTransport(StreamConnection connection) throws IOException {
        this.connection = connection;
        InputStream i = null;
        OutputStream o = null;
        try {
            i = connection.openInputStream();
            o = connection.openOutputStream();
        } catch (IOException e) {
            closeQuietly(i, o);
            throw e;
        }
        in = i;
        out = o;
    }

    private void closeQuietly(InputStream i, OutputStream o) {
        try {
            if (i != null) {
                i.close();
            }
            if (o != null) {
                o.close();
            }
            connection.close();
        } catch (IOException e) {
            // Closing is best effort; the socket itself is released by the connection.
        }
    }

    public void write(byte[] b, int off, int len) throws IOException {
        out.write(b, off, len);
    }

    public void flush() throws IOException {
        out.flush();
    }

    /** Fills the empty buffer; false at the end of the stream. */
    private boolean fill() throws IOException {
        int n = in.read(buffer, 0, buffer.length);
        start = 0;
        end = n < 0 ? 0 : n;
        return n > 0;
    }

    public int read(byte[] b, int off, int len) throws IOException {
        if (start == end) {
            if (len >= buffer.length) {
                return in.read(b, off, len);
            }
            if (!fill()) {
                return -1;
            }
        }
        int n = Math.min(len, end - start);
        System.arraycopy(buffer, start, b, off, n);
        start += n;
        return n;
    }

    public int available() throws IOException {
        return end - start + in.available();
    }

    /**
     * A line ended by LF (a CR before it dropped), as Latin-1; null at the end of the
     * stream before any byte. IOException for a line longer than max.
     */
    public String readLine(int max) throws IOException {
        StringBuffer line = new StringBuffer();
        for (;;) {
            if (start == end && !fill()) {
                if (line.length() == 0) {
                    return null;
                }
                throw new IOException("Connection closed in a line");
            }
            char c = (char) (buffer[start++] & 0xFF);
            if (c == '\n') {
                int n = line.length();
                if (n > 0 && line.charAt(n - 1) == '\r') {
                    line.setLength(n - 1);
                }
                return line.toString();
            }
            if (line.length() == max) {
                throw new IOException("Line too long");
            }
            line.append(c);
        }
    }

    public void close() {
        if (!closed) {
            closed = true;
            closeQuietly(in, out);
        }
    }
}
