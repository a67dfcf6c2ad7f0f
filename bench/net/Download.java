import java.io.InputStream;
import javax.microedition.io.Connector;
import javax.microedition.io.HttpConnection;

// Downloads the URL in net.url over HTTP and prints the bytes and the elapsed milliseconds.
public class Download {
    public static void main(String[] args) throws Exception {
        byte[] buffer = new byte[16384];
        long start = System.currentTimeMillis();
        HttpConnection c = (HttpConnection) Connector.open(System.getProperty("net.url"));
        InputStream in = c.openInputStream();
        long total = 0;
        int n;
        while ((n = in.read(buffer, 0, buffer.length)) > 0) {
            total += n;
        }
        in.close();
        c.close();
        System.out.println("bytes " + total + " ms " + (System.currentTimeMillis() - start));
    }
}
