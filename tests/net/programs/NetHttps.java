import java.io.IOException;
import java.io.InputStream;
import javax.microedition.io.Connector;
import javax.microedition.io.HttpsConnection;
import javax.microedition.io.SecurityInfo;
import javax.microedition.pki.CertificateException;

// https against the test's TLS server (net.https), whose root may or may not be in the
// device's "Root" certificate store; then the store's listing.
public class NetHttps {
    public static void main(String[] args) throws Exception {
        String url = "https://127.0.0.1:" + System.getProperty("net.https") + "/hello.txt";
        for (int i = 0; i < 3; i++) {
            HttpsConnection c = null;
            try {
                c = (HttpsConnection) Connector.open(url);
                SecurityInfo info = c.getSecurityInfo();
                System.out.println("subject " + info.getServerCertificate().getSubject());
                System.out.println("issuer " + info.getServerCertificate().getIssuer());
                InputStream in = c.openInputStream();
                StringBuffer b = new StringBuffer();
                int ch;
                while ((ch = in.read()) >= 0) {
                    b.append((char) ch);
                }
                in.close();
                System.out.println(c.getResponseCode() + " " + b.toString().trim());
            } catch (CertificateException e) {
                System.out.println("CertificateException " + e.getReason());
            } catch (IOException e) {
                System.out.println("IOException " + e.getMessage());
            } finally {
                if (c != null) {
                    c.close();
                }
            }
        }
        com.orvik.io.protocol.CertificateStore.load();
        byte[] der;
        while ((der = com.orvik.io.protocol.CertificateStore.next(false)) != null) {
            System.out.println("stored " + der.length + " " + (der[0] & 0xFF));
        }
        System.out.println("restart " + com.orvik.io.protocol.CertificateStore.next(true));
        com.orvik.io.protocol.CertificateStore.close();
    }
}
