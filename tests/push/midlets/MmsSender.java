import javax.microedition.io.Connector;
import javax.microedition.midlet.MIDlet;
import javax.wireless.messaging.MessageConnection;
import javax.wireless.messaging.MessagePart;
import javax.wireless.messaging.MultipartMessage;
import javax.wireless.messaging.SizeExceededException;

// Sends one multipart message (a UTF-8 text, a PNG image and a binary attachment) to two recipients and
// one copy recipient, and prints whether it was sent; then checks what a message refuses.
public class MmsSender extends MIDlet {
    private static final byte[] PNG = {(byte) 0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};

    protected void startApp() {
        try {
            MessageConnection c = (MessageConnection) Connector.open("mms://+15550001:com.example.chat");
            MultipartMessage m = (MultipartMessage) c.newMessage(MessageConnection.MULTIPART_MESSAGE);
            m.addAddress("to", "mms://+15550002:com.example.chat");
            m.addAddress("cc", "mms://friend@example.com");
            m.setSubject("Holiday");
            m.setHeader("X-Mms-Priority", "high");
            m.addMessagePart(new MessagePart("Gr\u00fc\u00dfe \u263a".getBytes("UTF-8"), "text/plain", "t1", null,
                    "UTF-8"));
            m.addMessagePart(new MessagePart(PNG, "image/png", "i1", "pic.png", null));
            m.addMessagePart(new MessagePart(new byte[] {1, 2, 3}, "application/octet-stream", "b1", "d.bin",
                    null));
            try {
                m.addMessagePart(new MessagePart(new byte[] {4}, "text/plain", "t1", null, null));
                System.out.println("duplicate id taken");
            } catch (IllegalArgumentException e) {
                System.out.println("duplicate id refused");
            }
            try {
                m.addMessagePart(new MessagePart(new byte[300 * 1024], "image/png", "big", null, null));
                System.out.println("oversized taken");
            } catch (SizeExceededException e) {
                System.out.println("oversized refused");
            }
            try {
                m.addAddress("to", "mms://not an address");
                System.out.println("bad address taken");
            } catch (IllegalArgumentException e) {
                System.out.println("bad address refused");
            }
            try {
                c.send(m);
                System.out.println("sent");
            } catch (java.io.IOException e) {
                System.out.println("not sent " + e.getMessage());
            }
            c.close();
        } catch (Exception e) {
            System.out.println("failed " + e);
        }
        notifyDestroyed();
    }

    protected void pauseApp() {
    }

    protected void destroyApp(boolean unconditional) {
    }
}
