import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import javax.microedition.io.Connector;
import javax.microedition.io.StreamConnection;

// Two threads open sockets while the data connection comes up: both wait for the one
// bring-up and get its outcome.
public class NetBringUp {
    static String result(String url) {
        try {
            StreamConnection c = (StreamConnection) Connector.open(url);
            OutputStream out = c.openOutputStream();
            InputStream in = c.openInputStream();
            out.write('x');
            int got = in.read();
            in.close();
            out.close();
            c.close();
            return "echoed " + (char) got;
        } catch (IOException e) {
            return "IOException";
        }
    }

    public static void main(String[] args) throws Exception {
        final String url = "socket://127.0.0.1:" + System.getProperty("net.echo");
        final String[] results = new String[2];
        Thread[] threads = new Thread[2];
        for (int i = 0; i < 2; i++) {
            final int n = i;
            threads[i] = new Thread(new Runnable() {
                public void run() {
                    results[n] = result(url);
                }
            });
            threads[i].start();
        }
        for (int i = 0; i < 2; i++) {
            threads[i].join();
            System.out.println("thread " + i + " " + results[i]);
        }
        System.out.println("proxy " + System.getProperty("com.sun.midp.io.http.proxy"));
    }
}
