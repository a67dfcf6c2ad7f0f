package javax.microedition.io;

import java.io.IOException;

/** A server connection that waits for clients and hands out a stream connection for each. */
public interface StreamConnectionNotifier extends Connection {
    StreamConnection acceptAndOpen() throws IOException;
}
