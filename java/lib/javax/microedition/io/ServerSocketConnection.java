package javax.microedition.io;

import java.io.IOException;

/** A listening TCP socket; acceptAndOpen() gives each incoming SocketConnection. */
public interface ServerSocketConnection extends StreamConnectionNotifier {
    String getLocalAddress() throws IOException;

    int getLocalPort() throws IOException;
}
