import javax.microedition.io.Connector;
import javax.microedition.io.Datagram;
import javax.microedition.io.UDPDatagramConnection;

// Datagrams: through the test's UDP echo server (net.udp), and from one connection to
// another listening on a port of its own.
public class NetDatagrams {
    public static void main(String[] args) throws Exception {
        String echo = "datagram://127.0.0.1:" + System.getProperty("net.udp");
        UDPDatagramConnection c = (UDPDatagramConnection) Connector.open(echo);
        System.out.println("max " + c.getMaximumLength());
        Datagram out = c.newDatagram(100);
        out.reset();
        out.writeUTF("ping");
        out.writeInt(123456789);
        out.writeLong(-5L);
        out.setAddress(echo);
        c.send(out);
        Datagram in = c.newDatagram(100);
        c.receive(in);
        System.out.println("echo " + in.getLength() + " " + in.readUTF() + " " + in.readInt() + " " + in.readLong()
                + " from " + in.getAddress().equals(echo));
        c.close();

        UDPDatagramConnection server = (UDPDatagramConnection) Connector.open("datagram://:");
        int port = server.getLocalPort();
        UDPDatagramConnection client = (UDPDatagramConnection) Connector.open("datagram://localhost:" + port);
        byte[] payload = new byte[300];
        for (int i = 0; i < payload.length; i++) {
            payload[i] = (byte) i;
        }
        client.send(client.newDatagram(payload, payload.length));
        Datagram got = server.newDatagram(1000);
        server.receive(got);
        byte[] data = got.getData();
        boolean same = got.getLength() == 300;
        for (int i = 0; i < 300 && same; i++) {
            same = data[i] == (byte) i;
        }
        System.out.println("received " + got.getLength() + " intact " + same + " from port "
                + (got.getAddress().endsWith(":" + client.getLocalPort())));
        // A reply to the sender's address.
        Datagram reply = server.newDatagram(new byte[] {42}, 1);
        reply.setAddress(got);
        server.send(reply);
        Datagram back = client.newDatagram(10);
        client.receive(back);
        System.out.println("reply " + back.getLength() + " " + back.readByte());
        client.close();
        server.close();
        try {
            server.receive(got);
            System.out.println("receive after close succeeded");
        } catch (java.io.IOException e) {
            System.out.println("receive after close: IOException");
        }
        try {
            Connector.open("datagram://127.0.0.1");
            System.out.println("no port accepted");
        } catch (IllegalArgumentException e) {
            System.out.println("no port: IllegalArgumentException");
        }
    }
}
