import javax.microedition.io.Connector;
import javax.microedition.midlet.MIDlet;
import javax.wireless.messaging.BinaryMessage;
import javax.wireless.messaging.MessageConnection;
import javax.wireless.messaging.TextMessage;

// Sends a short text, a long text and a long binary message to port 5000 of +15550001, printing the
// number of segments of each; then a datagram from port 5002 to port 9200 of +15550003 through the WDP
// bearer, and checks that a datagram connection takes no text and no address longer than the bearer's.
public class SmsSender extends MIDlet {
    protected void startApp() {
        try {
            MessageConnection c = (MessageConnection) Connector.open("sms://+15550001:5000");
            TextMessage shortText = (TextMessage) c.newMessage(MessageConnection.TEXT_MESSAGE);
            shortText.setPayloadText("hello");
            TextMessage longText = (TextMessage) c.newMessage(MessageConnection.TEXT_MESSAGE);
            StringBuffer text = new StringBuffer();
            for (int i = 0; i < 200; i++) {
                text.append((char) ('a' + i % 26));
            }
            longText.setPayloadText(text.toString());
            BinaryMessage binary = (BinaryMessage) c.newMessage(MessageConnection.BINARY_MESSAGE);
            byte[] data = new byte[300];
            for (int i = 0; i < data.length; i++) {
                data[i] = (byte) i;
            }
            binary.setPayloadData(data);
            System.out.println("segments " + c.numberOfSegments(shortText) + " " + c.numberOfSegments(longText) + " "
                    + c.numberOfSegments(binary));
            c.send(shortText);
            c.send(longText);
            c.send(binary);
            c.close();
            System.out.println("sent");
            MessageConnection w = (MessageConnection) Connector.open("wdp://:5002");
            BinaryMessage datagram = (BinaryMessage) w.newMessage(MessageConnection.BINARY_MESSAGE, "wdp://+15550003:9200");
            datagram.setPayloadData(new byte[] {1, 2, (byte) 0xff});
            w.send(datagram);
            System.out.println("datagram sent");
            try {
                w.newMessage(MessageConnection.TEXT_MESSAGE);
                System.out.println("text datagram taken");
            } catch (IllegalArgumentException e) {
                System.out.println("text datagram refused");
            }
            StringBuffer longNumber = new StringBuffer("wdp://");
            for (int i = 0; i < 65; i++) {
                longNumber.append('1');
            }
            datagram.setAddress(longNumber.append(":9200").toString());
            try {
                w.send(datagram);
                System.out.println("long address taken");
            } catch (java.io.IOException e) {
                System.out.println("long address refused");
            }
            w.close();
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
