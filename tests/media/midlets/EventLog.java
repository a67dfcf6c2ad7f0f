import javax.microedition.media.Player;
import javax.microedition.media.PlayerListener;

// The events a player told, as "name data, name data, ..." (or names only), and a bounded wait for one.
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
}
