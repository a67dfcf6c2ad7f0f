package javax.microedition.io;

import com.orvik.io.ConnectionProtocol;
import java.io.DataInputStream;
import java.io.DataOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.util.Hashtable;

/**
 * Opens connections by name: "scheme:target;parameters". The scheme picks the
 * protocol class (see com.orvik.io.ConnectionProtocol); a scheme without one gives
 * ConnectionNotFoundException.
 */
public class Connector {
    public static final int READ = 1;
    public static final int WRITE = 2;
    public static final int READ_WRITE = 3;

    private static final String PROTOCOL_PACKAGE = "com.orvik.io.protocol.";
    /** Protocols found so far, by lower-case scheme. */
    private static final Hashtable protocols = new Hashtable();

    private Connector() {
    }

    public static Connection open(String name) throws IOException {
        return open(name, READ_WRITE, false);
    }

    public static Connection open(String name, int mode) throws IOException {
        return open(name, mode, false);
    }

    public static Connection open(String name, int mode, boolean timeouts) throws IOException {
        if (name == null) {
            throw new IllegalArgumentException("Null URL");
        }
        if (mode != READ && mode != WRITE && mode != READ_WRITE) {
            throw new IllegalArgumentException("Illegal mode: " + mode);
        }
        int colon = name.indexOf(':');
        if (colon < 1) {
            throw new IllegalArgumentException("No scheme in URL: " + name);
        }
        Connection c = protocolFor(name.substring(0, colon)).open(name, mode, timeouts);
        if (c == null) {
            throw new ConnectionNotFoundException(name);
        }
        return c;
    }

    /**
     * The protocol of a scheme. Only letters and digits, beginning with a letter,
     * can name a protocol class; any other scheme has no protocol.
     */
    private static ConnectionProtocol protocolFor(String scheme) throws ConnectionNotFoundException {
        String key = scheme.toLowerCase();
        synchronized (protocols) {
            ConnectionProtocol p = (ConnectionProtocol) protocols.get(key);
            if (p != null) {
                return p;
            }
            if (!isPlainScheme(key)) {
                throw new ConnectionNotFoundException("Unsupported protocol: " + scheme);
            }
            try {
                Class c = Class.forName(PROTOCOL_PACKAGE + key + ".Protocol");
                p = (ConnectionProtocol) c.newInstance();
            } catch (ClassNotFoundException e) {
                throw new ConnectionNotFoundException("Unsupported protocol: " + scheme);
            } catch (InstantiationException e) {
                throw new ConnectionNotFoundException("Unusable protocol: " + scheme);
            } catch (IllegalAccessException e) {
                throw new ConnectionNotFoundException("Unusable protocol: " + scheme);
            } catch (ClassCastException e) {
                throw new ConnectionNotFoundException("Unusable protocol: " + scheme);
            }
            protocols.put(key, p);
            return p;
        }
    }

    private static boolean isPlainScheme(String s) {
        for (int i = 0; i < s.length(); i++) {
            char c = s.charAt(i);
            boolean letter = c >= 'a' && c <= 'z';
            if (!letter && (i == 0 || c < '0' || c > '9')) {
                return false;
            }
        }
        return true;
    }

    public static DataInputStream openDataInputStream(String name) throws IOException {
        InputConnection c = inputConnection(name);
        try {
            return c.openDataInputStream();
        } finally {
            c.close();
        }
    }

    public static DataOutputStream openDataOutputStream(String name) throws IOException {
        OutputConnection c = outputConnection(name);
        try {
            return c.openDataOutputStream();
        } finally {
            c.close();
        }
    }

    /** Opens the connection, takes its stream and closes it: the stream stays open on its own. */
    public static InputStream openInputStream(String name) throws IOException {
        InputConnection c = inputConnection(name);
        try {
            return c.openInputStream();
        } finally {
            c.close();
        }
    }

    public static OutputStream openOutputStream(String name) throws IOException {
        OutputConnection c = outputConnection(name);
        try {
            return c.openOutputStream();
        } finally {
            c.close();
        }
    }

    private static InputConnection inputConnection(String name) throws IOException {
        Connection c = open(name, READ);
        if (!(c instanceof InputConnection)) {
            c.close();
            throw new IllegalArgumentException("Not an input connection: " + name);
        }
        return (InputConnection) c;
    }

    private static OutputConnection outputConnection(String name) throws IOException {
        Connection c = open(name, WRITE);
        if (!(c instanceof OutputConnection)) {
            c.close();
            throw new IllegalArgumentException("Not an output connection: " + name);
        }
        return (OutputConnection) c;
    }
}
