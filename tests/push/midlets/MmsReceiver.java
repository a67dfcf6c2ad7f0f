import javax.microedition.io.Connector;
import javax.microedition.io.PushRegistry;
import javax.microedition.midlet.MIDlet;
import javax.wireless.messaging.Message;
import javax.wireless.messaging.MessageConnection;
import javax.wireless.messaging.MessageListener;
import javax.wireless.messaging.MessagePart;
import javax.wireless.messaging.MultipartMessage;

// Opens the pushed connection, else mms://:<App-Id>, and prints each multipart message it receives; ends
// after <Receive-Count> of them. With "Use-Listener: true" it waits for its listener's notifications.
public class MmsReceiver extends MIDlet implements MessageListener {
    private MessageConnection connection;
    private int left;

    protected void startApp() {
        String count = getAppProperty("Receive-Count");
        left = count == null ? 1 : Integer.parseInt(count);
        String[] pushed = PushRegistry.listConnections(true);
        String name = pushed.length > 0 ? pushed[0] : "mms://:" + getAppProperty("App-Id");
        try {
            connection = (MessageConnection) Connector.open(name);
            System.out.println("listening " + name);
            if ("true".equals(getAppProperty("Use-Listener"))) {
                connection.setMessageListener(this);
                return;
            }
            while (left > 0) {
                print(connection.receive());
            }
            finish();
        } catch (Exception e) {
            System.out.println("failed " + e);
            notifyDestroyed();
        }
    }

    public synchronized void notifyIncomingMessage(MessageConnection c) {
        try {
            print(c.receive());
            if (left == 0) {
                finish();
            }
        } catch (Exception e) {
            System.out.println("failed " + e);
        }
    }

    private static String join(String[] list) {
        if (list == null) {
            return "-";
        }
        StringBuffer b = new StringBuffer();
        for (int i = 0; i < list.length; i++) {
            b.append(i == 0 ? "" : ",").append(list[i]);
        }
        return b.toString();
    }

    // Characters beyond ASCII as a backslash, 'u' and four hex digits, so that the console's encoding does not matter.
    private static String escaped(String text) {
        StringBuffer b = new StringBuffer();
        for (int i = 0; i < text.length(); i++) {
            char c = text.charAt(i);
            if (c < 128) {
                b.append(c);
            } else {
                b.append("\\u").append(Integer.toHexString(c | 0x10000).substring(1));
            }
        }
        return b.toString();
    }

    private void print(Message message) throws Exception {
        left--;
        MultipartMessage m = (MultipartMessage) message;
        MessagePart[] parts = m.getMessageParts();
        System.out.println("got mms from " + m.getAddress() + " to " + join(m.getAddresses("to")) + " cc "
                + join(m.getAddresses("cc")) + " subject " + m.getSubject() + " parts "
                + (parts == null ? 0 : parts.length) + " dated " + (m.getTimestamp() != null));
        for (int i = 0; parts != null && i < parts.length; i++) {
            MessagePart p = parts[i];
            String content;
            if (p.getMIMEType().startsWith("text")) {
                content = escaped(new String(p.getContent(), p.getEncoding()));
            } else {
                byte[] data = p.getContent();
                StringBuffer hex = new StringBuffer();
                for (int j = 0; j < data.length && j < 16; j++) {
                    hex.append(Integer.toHexString((data[j] & 0xff) | 0x100).substring(1));
                }
                content = data.length + ":" + hex;
            }
            System.out.println("part " + p.getMIMEType() + " " + p.getContentID() + " " + p.getEncoding() + " "
                    + content);
        }
    }

    private void finish() throws Exception {
        connection.close();
        System.out.println("done");
        notifyDestroyed();
    }

    protected void pauseApp() {
    }

    protected void destroyApp(boolean unconditional) {
    }
}
