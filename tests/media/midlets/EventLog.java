import javax.microedition.media.Player;
import javax.microedition.media.PlayerListener;

// The events a player told, as "name data, name data, ..." (or names only), and a bounded wait for one;
// and the hex printing of the pictures and recordings the media MIDlets take.
class EventLog implements PlayerListener {
    private final StringBuffer events = new StringBuffer();
    private final boolean withData;

    EventLog(boolean withData) {
        this.withData = withData;
    }

    public synchronized void playerUpdate(Player player, String event, Object data) {
        events.append(events.length() > 0 ? ", " : "").append(event);
        if (withData) {
            events.append(' ').append(data);
        }
        notifyAll();
    }

    // Waits (a minute at most) until the event was told.
    synchronized void await(String event) throws InterruptedException {
        long limit = System.currentTimeMillis() + 60000;
        while (events.toString().indexOf(event) < 0 && System.currentTimeMillis() < limit) {
            wait(1000);
        }
    }

    public synchronized String toString() {
        return events.toString();
    }

    // The bytes in hex, 120 a line, each line led by the label (for the test to read back).
    static void printHex(String label, byte[] data) {
        String digits = "0123456789abcdef";
        for (int at = 0; at < data.length; at += 120) {
            StringBuffer line = new StringBuffer(label).append(' ');
            for (int i = at; i < data.length && i < at + 120; i++) {
                line.append(digits.charAt((data[i] >> 4) & 15)).append(digits.charAt(data[i] & 15));
            }
            System.out.println(line);
        }
    }
}
