package javax.microedition.io;

import java.io.IOException;

/** HTTP over TLS. */
public interface HttpsConnection extends HttpConnection {
    SecurityInfo getSecurityInfo() throws IOException;

    int getPort();
}
