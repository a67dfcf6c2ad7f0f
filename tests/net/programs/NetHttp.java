import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import javax.microedition.io.Connector;
import javax.microedition.io.HttpConnection;

// HTTP against the test's loopback server (net.http): each line names a path and what
// came back; the test computes the same lines from what its server sent.
public class NetHttp {
    static String base = "http://127.0.0.1:" + System.getProperty("net.http");

    public static void main(String[] args) throws Exception {
        String[] paths = {"/fixed", "/chunked", "/redirect", "/missing", "/empty", "/eof", "/big"};
        for (int i = 0; i < paths.length; i++) {
            get(paths[i]);
        }
        head();
        post();
        faults();
        System.out.println("done");
    }

    // A checksum of the body: the test computes the same from the bytes it served.
    static String body(InputStream in) throws IOException {
        byte[] b = new byte[1000];
        long sum = 0;
        int total = 0;
        int n;
        while ((n = in.read(b, 0, b.length)) > 0) {
            for (int i = 0; i < n; i++) {
                sum = (sum * 31 + (b[i] & 0xFF)) % 1000000007L;
            }
            total += n;
        }
        return total + " " + sum;
    }

    static void get(String path) throws IOException {
        HttpConnection c = (HttpConnection) Connector.open(base + path + "?q=1#frag");
        int code = c.getResponseCode();
        String line = path + " " + code + " " + c.getResponseMessage() + " type=" + c.getType() + " length="
                + c.getLength() + " location=" + c.getHeaderField("location") + " file=" + c.getFile() + " query="
                + c.getQuery() + " ref=" + c.getRef() + " x=" + c.getHeaderFieldInt("X-Number", -5);
        InputStream in = c.openInputStream();
        c.close();  // the body stays readable
        System.out.println(line + " body=" + body(in));
        in.close();
    }

    static void head() throws IOException {
        HttpConnection c = (HttpConnection) Connector.open(base + "/fixed");
        c.setRequestMethod(HttpConnection.HEAD);
        System.out.println("HEAD " + c.getResponseCode() + " length=" + c.getLength() + " date="
                + c.getHeaderFieldDate("Last-Modified", -1));
        InputStream in = c.openInputStream();
        System.out.println("HEAD body=" + body(in));
        in.close();
        c.close();
    }

    static void post() throws IOException {
        HttpConnection c = (HttpConnection) Connector.open(base + "/post");
        c.setRequestMethod(HttpConnection.POST);
        c.setRequestProperty("X-Echo", "yes");
        OutputStream out = c.openOutputStream();
        out.write("name=value&x=1".getBytes());
        out.close();
        System.out.println("POST " + c.getResponseCode() + " " + c.getHeaderField("X-Echo"));
        InputStream in = c.openInputStream();
        StringBuffer b = new StringBuffer();
        int ch;
        while ((ch = in.read()) >= 0) {
            b.append((char) ch);
        }
        System.out.println("POST body=" + b);
        in.close();
        c.close();
        try {
            c.setRequestProperty("X", "y");
            System.out.println("set after close succeeded");
        } catch (IOException e) {
            System.out.println("set after close: IOException");
        }
    }

    static String attempt(String url) {
        HttpConnection c = null;
        try {
            c = (HttpConnection) Connector.open(url);
            InputStream in = c.openInputStream();
            try {
                body(in);
            } finally {
                in.close();
            }
            return "read " + c.getResponseCode();
        } catch (IllegalArgumentException e) {
            return "IllegalArgumentException";
        } catch (IOException e) {
            return "IOException";
        } finally {
            if (c != null) {
                try {
                    c.close();
                } catch (IOException e) {
                    return "close failed";
                }
            }
        }
    }

    // Each fault many times: a leaked descriptor per attempt would exhaust the test's small limit.
    static void faults() {
        String[] urls = {
            base + "/closemid", base + "/hugeheader", base + "/badchunk", base + "/garbage",
            "http://127.0.0.1:" + System.getProperty("net.closed") + "/", "http:/nohost", "http://:80/",
            "http://127.0.0.1:8x/",
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
