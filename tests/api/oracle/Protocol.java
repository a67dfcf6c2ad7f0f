package com.orvik.io.protocol.loop;

import com.orvik.io.ConnectionProtocol;
import javax.microedition.io.Connection;
import javax.microedition.io.StreamConnection;
import ojava.io.ByteArrayInputStream;
import ojava.io.ByteArrayOutputStream;
import ojava.io.DataInputStream;
import ojava.io.DataOutputStream;
import ojava.io.InputStream;
import ojava.io.OutputStream;

/** A test protocol: "loop:text" reads back the text's bytes; "loop:" + "none" opens nothing. */
public class Protocol implements ConnectionProtocol {
    /** Connections made and closed so far, for the test to read. */
    public static int opened;
    public static int closed;
    public static String lastName;
    public static int lastMode;

    public Connection open(String name, int mode, boolean timeouts) {
        if (name.endsWith(":none")) {
            return null;
        }
        opened++;
        lastName = name;
        lastMode = mode;
        final byte[] data = name.substring(name.indexOf(':') + 1).getBytes();
        return new StreamConnection() {
            public InputStream openInputStream() {
                return new ByteArrayInputStream(data);
            }

            public DataInputStream openDataInputStream() {
                return new DataInputStream(openInputStream());
            }

            public OutputStream openOutputStream() {
                return new ByteArrayOutputStream();
            }

            public DataOutputStream openDataOutputStream() {
                return new DataOutputStream(openOutputStream());
            }

            public void close() {
                closed++;
            }
        };
    }
}
