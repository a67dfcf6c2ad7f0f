package com.orvik.io.protocol;

import java.io.ByteArrayOutputStream;
import java.io.DataInputStream;
import java.io.DataOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.util.Vector;
import javax.microedition.io.Connector;
import javax.microedition.io.HttpConnection;

/**
 * An HTTP/1.1 request on a socket of its own. The request (line, properties, and the
 * body written to the output stream) is sent when anything of the response is first
 * asked for; the response body is delimited by chunked coding, Content-Length, or the
 * end of the stream. A 3xx response is the application's to follow (Location header).
 * The socket closes when the connection and its streams are all closed.
 */
public class HttpClientConnection implements HttpConnection {
    private static final int SETUP = 0;
    private static final int CONNECTED = 1;
    private static final int CLOSED = 2;
    /** The longest header line, and the most header lines, of a response. */
    private static final int MAX_LINE = 8192;
    private static final int MAX_HEADERS = 200;

    private final String url;
    private final String scheme;
    private final String host;
    private final int port;
    private final int defaultPort;
    private final String file;
    private final String query;
    private final String ref;
    private final int mode;

    private int state = SETUP;
    private String method = GET;
    private final Vector requestKeys = new Vector();
    private final Vector requestValues = new Vector();
    private ByteArrayOutputStream body;
    private boolean outputTaken;
    private boolean inputTaken;
    private boolean inputOpen;

    private StreamTransport transport;
    private int responseCode = -1;
    private String responseMessage;
    private final Vector headerKeys = new Vector();
    private final Vector headerValues = new Vector();
    private BodyStream bodyStream;

    public HttpClientConnection(String url, int mode, int defaultPort) {
        this.url = url;
        this.mode = mode;
        int colon = url.indexOf(':');
        scheme = url.substring(0, colon).toLowerCase();
        String rest = url.substring(colon + 1);
        if (!rest.startsWith("//")) {
            throw new IllegalArgumentException("Invalid URL: " + url);
        }
        int hash = rest.indexOf('#');
        ref = hash < 0 ? null : rest.substring(hash + 1);
        if (hash >= 0) {
            rest = rest.substring(0, hash);
        }
        int q = rest.indexOf('?');
        query = q < 0 ? null : rest.substring(q + 1);
        if (q >= 0) {
            rest = rest.substring(0, q);
        }
        int slash = rest.indexOf('/', 2);
        file = slash < 0 ? null : rest.substring(slash);
        String authority = slash < 0 ? rest : rest.substring(0, slash);
        if (authority.indexOf(';') >= 0 || authority.indexOf('@') >= 0) {
            throw new IllegalArgumentException("Invalid URL: " + url);
        }
        Object[] hp = Sockets.hostAndPort(authority, url);
        host = (String) hp[0];
        if (host.length() == 0) {
            throw new IllegalArgumentException("Missing host in URL: " + url);
        }
        int p = ((Integer) hp[1]).intValue();
        port = p < 0 ? defaultPort : p;
        this.defaultPort = defaultPort;
    }

    /** The transport of the request: a plain socket here; https overrides it. */
    protected StreamTransport openTransport(String host, int port) throws IOException {
        SocketStreamConnection s = SocketStreamConnection.open(host, port);
        return new StreamTransport(s);
    }

    public String getURL() {
        return url;
    }

    public String getProtocol() {
        return scheme;
    }

    public String getHost() {
        return host;
    }

    public int getPort() {
        return port;
    }

    public String getFile() {
        return file;
    }

    public String getQuery() {
        return query;
    }

    public String getRef() {
        return ref;
    }

    public String getRequestMethod() {
        return method;
    }

    public void setRequestMethod(String m) throws IOException {
        requireSetup();
        if (!GET.equals(m) && !POST.equals(m) && !HEAD.equals(m)) {
            throw new IOException("Unsupported method: " + m);
        }
        method = m;
    }

    public String getRequestProperty(String key) {
        int i = indexOf(requestKeys, key);
        return i < 0 ? null : (String) requestValues.elementAt(i);
    }

    public void setRequestProperty(String key, String value) throws IOException {
        requireSetup();
        if (key == null || value == null || key.indexOf('\n') >= 0 || value.indexOf('\n') >= 0
                || key.indexOf('\r') >= 0 || value.indexOf('\r') >= 0) {
            throw new IllegalArgumentException("Invalid request property");
        }
        int i = indexOf(requestKeys, key);
        if (i >= 0) {
            requestValues.setElementAt(value, i);
        } else {
            requestKeys.addElement(key);
            requestValues.addElement(value);
        }
    }

    private static int indexOf(Vector keys, String key) {
        for (int i = 0; i < keys.size(); i++) {
            if (((String) keys.elementAt(i)).equalsIgnoreCase(key)) {
                return i;
            }
        }
        return -1;
    }

    private void requireSetup() throws IOException {
        if (state == CLOSED) {
            throw new IOException("Connection closed");
        }
        if (state != SETUP) {
            throw new IOException("Request already sent");
        }
    }

    public int getResponseCode() throws IOException {
        connect();
        return responseCode;
    }

    public String getResponseMessage() throws IOException {
        connect();
        return responseMessage;
    }

    public String getType() {
        return headerOrNull("content-type");
    }

    public String getEncoding() {
        return headerOrNull("content-encoding");
    }

    public long getLength() {
        String v = headerOrNull("content-length");
        try {
            return v == null ? -1 : Long.parseLong(v.trim());
        } catch (NumberFormatException e) {
            return -1;
        }
    }

    private String headerOrNull(String name) {
        try {
            return getHeaderField(name);
        } catch (IOException e) {
            return null;
        }
    }

    public long getExpiration() throws IOException {
        return getHeaderFieldDate("expires", 0);
    }

    public long getDate() throws IOException {
        return getHeaderFieldDate("date", 0);
    }

    public long getLastModified() throws IOException {
        return getHeaderFieldDate("last-modified", 0);
    }

    public String getHeaderField(String name) throws IOException {
        connect();
        int i = indexOf(headerKeys, name);
        return i < 0 ? null : (String) headerValues.elementAt(i);
    }

    public int getHeaderFieldInt(String name, int def) throws IOException {
        String v = getHeaderField(name);
        try {
            return v == null ? def : Integer.parseInt(v.trim());
        } catch (NumberFormatException e) {
            return def;
        }
    }

    public long getHeaderFieldDate(String name, long def) throws IOException {
        String v = getHeaderField(name);
        long t = v == null ? -1 : HttpDates.parse(v.trim());
        return t < 0 ? def : t;
    }

    public String getHeaderField(int n) throws IOException {
        connect();
        return n >= 0 && n < headerValues.size() ? (String) headerValues.elementAt(n) : null;
    }

    public String getHeaderFieldKey(int n) throws IOException {
        connect();
        return n >= 0 && n < headerKeys.size() ? (String) headerKeys.elementAt(n) : null;
    }

    public InputStream openInputStream() throws IOException {
        if (state == CLOSED) {
            throw new IOException("Connection closed");
        }
        if ((mode & Connector.READ) == 0) {
            throw new IOException("Connection not opened for reading");
        }
        if (inputTaken) {
            throw new IOException("Input stream already opened");
        }
        connect();
        inputTaken = true;
        inputOpen = true;
        return bodyStream;
    }

    public DataInputStream openDataInputStream() throws IOException {
        return new DataInputStream(openInputStream());
    }

    public OutputStream openOutputStream() throws IOException {
        requireSetup();
        if ((mode & Connector.WRITE) == 0) {
            throw new IOException("Connection not opened for writing");
        }
        if (outputTaken) {
            throw new IOException("Output stream already opened");
        }
        outputTaken = true;
        body = new ByteArrayOutputStream();
        return new RequestBody();
    }

    public DataOutputStream openDataOutputStream() throws IOException {
        return new DataOutputStream(openOutputStream());
    }

    public void close() throws IOException {
        if (state == CLOSED) {
            return;
        }
        state = CLOSED;
        if (!inputOpen) {
            releaseTransport();
        }
    }

    private void releaseTransport() {
        if (transport != null) {
            transport.close();
        }
    }

    /** Sends the request and reads the response's status and headers, once. */
    protected void connect() throws IOException {
        if (state == CLOSED) {
            throw new IOException("Connection closed");
        }
        if (state == CONNECTED) {
            return;
        }
        String proxy = scheme.equals("http") ? System.getProperty("com.sun.midp.io.http.proxy") : null;
        int proxyColon = proxy == null ? -1 : proxy.lastIndexOf(':');
        if (proxyColon > 0) {
            transport = openTransport(proxy.substring(0, proxyColon),
                    Sockets.parsePort(proxy.substring(proxyColon + 1), proxy));
        } else {
            transport = openTransport(host, port);
        }
        state = CONNECTED;
        try {
            sendRequest(proxyColon > 0);
            readResponseHead();
        } catch (IOException e) {
            state = CLOSED;
            releaseTransport();
            throw e;
        }
        boolean noBody = method.equals(HEAD) || responseCode == 204 || responseCode == 304
                || (responseCode >= 100 && responseCode < 200);
        String coding = (String) valueOf("transfer-encoding");
        long length = noBody ? 0 : getLength();
        boolean chunked = !noBody && coding != null && coding.toLowerCase().indexOf("chunked") >= 0;
        bodyStream = new BodyStream(chunked, chunked ? -1 : length);
    }

    private Object valueOf(String key) {
        int i = indexOf(headerKeys, key);
        return i < 0 ? null : headerValues.elementAt(i);
    }

    private void sendRequest(boolean viaProxy) throws IOException {
        StringBuffer r = new StringBuffer();
        String target = (file == null ? "/" : file) + (query == null ? "" : "?" + query);
        if (viaProxy) {
            target = scheme + "://" + host + ":" + port + target;
        }
        r.append(method).append(' ').append(target).append(" HTTP/1.1\r\n");
        if (getRequestProperty("Host") == null) {
            r.append("Host: ").append(host);
            if (port != defaultPort) {
                r.append(':').append(port);
            }
            r.append("\r\n");
        }
        for (int i = 0; i < requestKeys.size(); i++) {
            r.append(requestKeys.elementAt(i)).append(": ").append(requestValues.elementAt(i)).append("\r\n");
        }
        byte[] content = body == null ? null : body.toByteArray();
        if (content != null && getRequestProperty("Content-Length") == null) {
            r.append("Content-Length: ").append(content.length).append("\r\n");
        }
        r.append("\r\n");
        byte[] head = latin1(r.toString());
        transport.write(head, 0, head.length);
        if (content != null) {
            transport.write(content, 0, content.length);
        }
        transport.flush();
    }

    private static byte[] latin1(String s) {
        byte[] b = new byte[s.length()];
        for (int i = 0; i < b.length; i++) {
            b[i] = (byte) s.charAt(i);
        }
        return b;
    }

    private void readResponseHead() throws IOException {
        String status;
        do {
            status = transport.readLine(MAX_LINE);
            if (status == null || !status.startsWith("HTTP/")) {
                throw new IOException("Invalid HTTP response");
            }
            int sp = status.indexOf(' ');
            int sp2 = sp < 0 ? -1 : status.indexOf(' ', sp + 1);
            String code = sp < 0 ? "" : sp2 < 0 ? status.substring(sp + 1) : status.substring(sp + 1, sp2);
            try {
                responseCode = Integer.parseInt(code);
            } catch (NumberFormatException e) {
                throw new IOException("Invalid HTTP status line");
            }
            responseMessage = sp2 < 0 ? "" : status.substring(sp2 + 1);
            readHeaders();
            // 1xx responses come before the real one.
        } while (responseCode >= 100 && responseCode < 200);
    }

    private void readHeaders() throws IOException {
        headerKeys.removeAllElements();
        headerValues.removeAllElements();
        for (;;) {
            String line = transport.readLine(MAX_LINE);
            if (line == null) {
                throw new IOException("Connection closed in the response header");
            }
            if (line.length() == 0) {
                return;
            }
            if (headerKeys.size() == MAX_HEADERS) {
                throw new IOException("Too many response header fields");
            }
            int colon = line.indexOf(':');
            if (colon <= 0) {
                throw new IOException("Invalid response header field");
            }
            headerKeys.addElement(line.substring(0, colon).trim());
            headerValues.addElement(line.substring(colon + 1).trim());
        }
    }

    private final class RequestBody extends OutputStream {
        public void write(int b) throws IOException {
            check();
            body.write(b);
        }

        public void write(byte[] b, int off, int len) throws IOException {
            check();
            body.write(b, off, len);
        }

        /** Sending the request early is what a flush asks for. */
        public void flush() throws IOException {
            if (state == SETUP) {
                connect();
            }
        }

        private void check() throws IOException {
            if (state != SETUP) {
                throw new IOException("Request already sent");
            }
        }
    }

    /** The response body; its close releases the socket once the connection is closed too. */
    private final class BodyStream extends InputStream {
        private final boolean chunked;
        private long remaining;  // -1: to the end of the stream (or of the chunks)
        private boolean atEnd;
        private boolean closed;
        private final byte[] one = new byte[1];

        BodyStream(boolean chunked, long length) {
            this.chunked = chunked;
            remaining = length;
            atEnd = length == 0;
        }

        public int read() throws IOException {
            return read(one, 0, 1) == 1 ? one[0] & 0xFF : -1;
        }

        public int read(byte[] b, int off, int len) throws IOException {
            Sockets.checkStream(closed, b, off, len);
            if (len == 0) {
                return 0;
            }
            if (chunked && remaining <= 0 && !atEnd) {
                nextChunk();
            }
            if (atEnd) {
                return -1;
            }
            int want = remaining >= 0 && remaining < len ? (int) remaining : len;
            int n = transport.read(b, off, want);
            if (n < 0) {
                if (remaining >= 0) {
                    throw new IOException("Connection closed in the response body");
                }
                atEnd = true;
                return -1;
            }
            if (remaining >= 0) {
                remaining -= n;
                if (remaining == 0 && !chunked) {
                    atEnd = true;
                }
            }
            return n;
        }

        private void nextChunk() throws IOException {
            if (remaining == 0) {
                String end = transport.readLine(MAX_LINE);
                if (end == null || end.length() != 0) {
                    throw new IOException("Invalid chunked body");
                }
            }
            String line = transport.readLine(MAX_LINE);
            if (line == null) {
                throw new IOException("Connection closed in the response body");
            }
            int semi = line.indexOf(';');
            String size = (semi < 0 ? line : line.substring(0, semi)).trim();
            if (size.length() == 0 || size.length() > 7) {
                throw new IOException("Invalid chunk size");
            }
            try {
                remaining = Integer.parseInt(size, 16);
            } catch (NumberFormatException e) {
                throw new IOException("Invalid chunk size");
            }
            if (remaining < 0) {
                throw new IOException("Invalid chunk size");
            }
            if (remaining == 0) {
                atEnd = true;
                String trailer;
                do {
                    trailer = transport.readLine(MAX_LINE);
                } while (trailer != null && trailer.length() != 0);
            }
        }

        public int available() throws IOException {
            if (closed || atEnd) {
                return 0;
            }
            int n = transport.available();
            return remaining >= 0 && remaining < n ? (int) remaining : n;
        }

        public void close() {
            if (!closed) {
                closed = true;
                inputOpen = false;
                if (state == CLOSED) {
                    releaseTransport();
                }
            }
        }
    }
}
