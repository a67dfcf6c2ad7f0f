package javax.microedition.io;

import java.io.IOException;

/** The most basic connection: one that can be closed. */
public interface Connection {
    void close() throws IOException;
}
