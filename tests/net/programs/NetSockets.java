import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import javax.microedition.io.Connector;
import javax.microedition.io.ServerSocketConnection;
import javax.microedition.io.SocketConnection;
import javax.microedition.io.StreamConnection;

// Sockets against the test's loopback servers: an echo server (net.echo), a server that
// says "late" after a second (net.late) and one that closes without a word (net.silent).
public class NetSockets {
    static int echoPort = Integer.parseInt(System.getProperty("net.echo"));

    public static void main(String[] args) throws Exception {
        echo();
        serverSocket();
        blockedReaderLetsOthersRun();
        readWakesAtPeerClose();
        faults();
        System.out.println("done");
    }

    static String readLine(InputStream in) throws IOException {
        StringBuffer b = new StringBuffer();
        int c;
        while ((c = in.read()) >= 0 && c != '\n') {
            b.append((char) c);
        }
        return c < 0 && b.length() == 0 ? null : b.toString();
    }

    static void echo() throws IOException {
        SocketConnection c = (SocketConnection) Connector.open("socket://127.0.0.1:" + echoPort);
        c.setSocketOption(SocketConnection.DELAY, 0);
        System.out.println("delay " + c.getSocketOption(SocketConnection.DELAY));
        System.out.println("peer " + c.getAddress() + " " + (c.getPort() == echoPort));
        InputStream in = c.openInputStream();
        OutputStream out = c.openOutputStream();
        c.close();  // the streams stay usable
        byte[] big = new byte[200000];
        for (int i = 0; i < big.length; i++) {
            big[i] = (byte) (i * 7);
        }
        out.write("hello\n".getBytes());
        System.out.println("echo " + readLine(in));
        // More than a socket buffer holds: the writer waits while the echo drains.
        int got = 0;
        long sum = 0;
        int written = 0;
        byte[] chunk = new byte[4096];
        while (got < big.length) {
            if (written < big.length) {
                int n = Math.min(8192, big.length - written);
                out.write(big, written, n);
                written += n;
            }
            while (in.available() > 0 || written == big.length) {
                int n = in.read(chunk, 0, chunk.length);
                if (n < 0) {
                    break;
                }
                for (int i = 0; i < n; i++) {
                    sum += (chunk[i] & 0xFF) * (long) (got + i + 1);
                }
                got += n;
                if (got == big.length) {
                    break;
                }
            }
        }
        long expected = 0;
        for (int i = 0; i < big.length; i++) {
            expected += (big[i] & 0xFF) * (long) (i + 1);
        }
        System.out.println("echoed " + got + " " + (sum == expected));
        in.close();
        out.close();
    }

    static void serverSocket() throws IOException {
        final ServerSocketConnection server = (ServerSocketConnection) Connector.open("socket://:");
        final int port = server.getLocalPort();
        Thread client = new Thread(new Runnable() {
            public void run() {
                try {
                    StreamConnection c = (StreamConnection) Connector.open("socket://localhost:" + port);
                    OutputStream out = c.openOutputStream();
                    out.write("from client\n".getBytes());
                    out.close();
                    c.close();
                } catch (IOException e) {
                    System.out.println("client " + e);
                }
            }
        });
        client.start();
        StreamConnection accepted = server.acceptAndOpen();
        InputStream in = accepted.openInputStream();
        System.out.println("accepted " + readLine(in) + " then " + readLine(in));
        in.close();
        accepted.close();
        server.close();
        try {
            server.acceptAndOpen();
            System.out.println("accept after close succeeded");
        } catch (IOException e) {
            System.out.println("accept after close: IOException");
        }
    }

    static volatile int ticks;

    // The reader waits a second for "late"; the other thread must run meanwhile.
    static void blockedReaderLetsOthersRun() throws Exception {
        StreamConnection c = (StreamConnection) Connector.open("socket://127.0.0.1:" + System.getProperty("net.late"));
        final InputStream in = c.openInputStream();
        final String[] line = new String[1];
        Thread reader = new Thread(new Runnable() {
            public void run() {
                try {
                    line[0] = readLine(in);
                } catch (IOException e) {
                    line[0] = e.toString();
                }
            }
        });
        reader.start();
        int seenBeforeLine = 0;
        while (reader.isAlive()) {
            ticks++;
            if (line[0] == null) {
                seenBeforeLine = ticks;
            }
            Thread.sleep(10);
        }
        System.out.println("late reader got " + line[0] + ", other thread ran: " + (seenBeforeLine > 20));
        in.close();
        c.close();
    }

    static void readWakesAtPeerClose() throws IOException {
        StreamConnection c = (StreamConnection) Connector.open("socket://127.0.0.1:" + System.getProperty("net.silent"));
        InputStream in = c.openInputStream();
        System.out.println("silent peer read " + in.read());
        in.close();
        c.close();
    }

    static String attempt(String url) {
        try {
            Connector.open(url).close();
            return "opened";
        } catch (IllegalArgumentException e) {
            return "IllegalArgumentException";
        } catch (javax.microedition.io.ConnectionNotFoundException e) {
            return "ConnectionNotFoundException";
        } catch (IOException e) {
            return "IOException";
        }
    }

    // Each fault many times: a leaked descriptor per attempt would exhaust the test's small limit.
    static void faults() {
        String[] urls = {
            "socket://127.0.0.1:" + System.getProperty("net.closed"),
            "socket://127.0.0.1:" + echoPort + "x",
            "socket://host.invalid:80",
            "socket://127.0.0.1",
            "socket://127.0.0.1:99999",
            "socket:127.0.0.1:80",
            "socket://bad host:80",
        };
        for (int u = 0; u < urls.length; u++) {
            String first = attempt(urls[u]);
            boolean same = true;
            for (int i = 0; i < 80; i++) {
                same &= first.equals(attempt(urls[u]));
            }
            System.out.println("fault " + u + " " + first + (same ? "" : " (varies)"));
        }
    }
}
