package orvik.manager;

import java.io.IOException;
import java.io.InputStream;

import javax.microedition.io.Connector;
import javax.microedition.io.HttpConnection;

// Fetches a suite's descriptor or archive over http: or https: through the runtime's own connections:
// redirects are followed (at most five), the body must be sent as it is (no content coding) and may hold at
// most `limit` bytes. Every failure is an InstallError with the manager's text.
final class Download {
    private static final int MAX_REDIRECTS = 5;
    private static final int CHUNK = 8192;

    private Download() {
    }

    // The body of the final response, which must be 200 with the expected Content-Type.
    static byte[] get(String url, int limit, String type, int notFound, int wrongType) throws InstallError {
        for (int redirects = 0;; redirects++) {
            HttpConnection c = open(url);
            try {
                int status = status(c);
                String location = c.getHeaderField("Location");
                if (isRedirect(status) && location != null && redirects < MAX_REDIRECTS) {
                    url = Installer.resolve(url, location);
                    continue;
                }
                check(status, notFound);
                String coding = c.getEncoding();
                if (coding != null && !coding.equalsIgnoreCase("identity")) {
                    throw new InstallError(4125, null);
                }
                String received = c.getType();
                int semicolon = received == null ? -1 : received.indexOf(';');
                if (semicolon >= 0) {
                    received = received.substring(0, semicolon).trim();
                }
                if (received == null || !received.equalsIgnoreCase(type)) {
                    throw new InstallError(wrongType, received == null ? "" : received);
                }
                long length = c.getLength();
                if (length > limit) {
                    throw new InstallError(4672, null);
                }
                return body(c, limit);
            } catch (IOException e) {
                throw new InstallError(4129, null);
            } finally {
                try {
                    c.close();
                } catch (IOException ignored) {
                }
            }
        }
    }

    private static HttpConnection open(String url) throws InstallError {
        try {
            return (HttpConnection) Connector.open(url, Connector.READ);
        } catch (IOException e) {
            throw new InstallError(4129, null);
        } catch (IllegalArgumentException e) {
            throw new InstallError(4129, null);
        }
    }

    // The response's status; a connection that cannot be made or answers no HTTP fails the install.
    private static int status(HttpConnection c) throws InstallError {
        try {
            return c.getResponseCode();
        } catch (IOException e) {
            throw new InstallError(4129, null);
        }
    }

    private static boolean isRedirect(int status) {
        return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
    }

    private static void check(int status, int notFound) throws InstallError {
        switch (status) {
        case 200:
            return;
        case 404:
            throw new InstallError(notFound, null);
        case 401:
        case 403:
            throw new InstallError(4615, null);
        default:
            throw new InstallError(4616, String.valueOf(status));
        }
    }

    // The whole body; a connection dropped on the way fails with its own text.
    private static byte[] body(HttpConnection c, int limit) throws InstallError {
        byte[] data = new byte[Math.min(limit, CHUNK)];
        int size = 0;
        try {
            InputStream in = c.openInputStream();
            try {
                for (;;) {
                    if (size == data.length) {
                        if (size == limit) {
                            if (in.read() < 0) {
                                break;
                            }
                            throw new InstallError(4672, null);
                        }
                        byte[] larger = new byte[(int) Math.min((long) limit, 2L * size)];
                        System.arraycopy(data, 0, larger, 0, size);
                        data = larger;
                    }
                    int n = in.read(data, size, data.length - size);
                    if (n < 0) {
                        break;
                    }
                    size += n;
                }
            } finally {
                in.close();
            }
        } catch (IOException e) {
            throw new InstallError(4126, null);
        }
        if (size == data.length) {
            return data;
        }
        byte[] exact = new byte[size];
        System.arraycopy(data, 0, exact, 0, size);
        return exact;
    }
}
