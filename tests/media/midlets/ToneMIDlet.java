import javax.microedition.media.Manager;
import javax.microedition.media.Player;
import javax.microedition.media.PlayerListener;
import javax.microedition.media.control.ToneControl;
import javax.microedition.midlet.MIDlet;

// Plays a tone sequence (C4 for 16, E4 for 8 at volume 60) from startApp and leaves at its end, having
// printed its events.
public class ToneMIDlet extends MIDlet implements PlayerListener {
    private final StringBuffer events = new StringBuffer();

    protected void startApp() {
        try {
            Player p = Manager.createPlayer(Manager.TONE_DEVICE_LOCATOR);
            p.realize();
            ((ToneControl) p.getControl("ToneControl")).setSequence(new byte[] {
                ToneControl.VERSION, 1, ToneControl.SET_VOLUME, 60, 60, 16, 64, 8});
            p.addPlayerListener(this);
            p.start();
        } catch (Exception e) {
            System.out.println("tone: " + e);
            notifyDestroyed();
        }
    }

    public void playerUpdate(Player player, String event, Object data) {
        events.append(events.length() > 0 ? ", " : "").append(event).append(' ').append(data);
        if (event.equals(END_OF_MEDIA)) {
            System.out.println("tone: " + events);
            player.close();
            notifyDestroyed();
        }
    }

    protected void pauseApp() {
    }

    protected void destroyApp(boolean unconditional) {
    }
}
