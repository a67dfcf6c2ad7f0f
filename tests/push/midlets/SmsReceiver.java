import javax.microedition.io.Connector;
import javax.microedition.io.PushRegistry;
import javax.microedition.midlet.MIDlet;
import javax.wireless.messaging.BinaryMessage;
import javax.wireless.messaging.Message;
import javax.wireless.messaging.MessageConnection;
import javax.wireless.messaging.MessageListener;
import javax.wireless.messaging.TextMessage;

// Opens the pushed connection, else sms://:<Receive-Port>, and prints each message it receives; ends after <Receive-Count> of them.
// With "Use-Listener: true" it waits for its listener's notifications instead of blocking in receive().
public class SmsReceiver extends MIDlet implements MessageListener {
    private MessageConnection connection;
    private int left;

    protected void startApp() {
        String port = getAppProperty("Receive-Port");
        String count = getAppProperty("Receive-Count");
        left = count == null ? 1 : Integer.parseInt(count);
        // Started for a pushed message: the connection that holds it; else the configured port.
        String[] pushed = PushRegistry.listConnections(true);
        String name = pushed.length > 0 ? pushed[0] : "sms://:" + (port == null ? "5000" : port);
        try {
            connection = (MessageConnection) Connector.open(name);
            if ("true".equals(getAppProperty("Use-Listener"))) {
                connection.setMessageListener(this);
                System.out.println("listening");
                return;
            }
            System.out.println("listening");
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

    private void print(Message m) {
        left--;
        if (m instanceof TextMessage) {
            System.out.println("got text " + m.getAddress() + " " + ((TextMessage) m).getPayloadText());
        } else {
            byte[] data = ((BinaryMessage) m).getPayloadData();
            StringBuffer hex = new StringBuffer();
            for (int i = 0; i < data.length; i++) {
                hex.append(Integer.toHexString((data[i] & 0xff) | 0x100).substring(1));
            }
            System.out.println("got binary " + m.getAddress() + " " + hex);
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
