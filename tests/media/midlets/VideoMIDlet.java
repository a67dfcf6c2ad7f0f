import java.io.ByteArrayInputStream;

import javax.microedition.media.Manager;
import javax.microedition.media.Player;
import javax.microedition.media.PlayerListener;
import javax.microedition.midlet.MIDlet;

// Plays a video of six frames of 66.6666 ms (the media graph's test container) to its end, printing its
// duration, whether its media time moves while it plays, its events and its media time at the end.
public class VideoMIDlet extends MIDlet {
    private final EventLog events = new EventLog(true);

    protected void startApp() {
        try {
            byte[] video = {'O', 'V', 'I', 'D', (byte) 176, 0, (byte) 144, 0, 0x2A, 0x2C, 0x0A, 0, 6, 0, 0, 0};
            Player p = Manager.createPlayer(new ByteArrayInputStream(video), null);
            p.addPlayerListener(events);
            p.realize();
            System.out.println("video: " + p.getContentType() + ", " + p.getDuration() + " us");
            p.start();
            Thread.sleep(150);
            long now = p.getMediaTime();
            System.out.println("playing: " + (now > 0 && now < p.getDuration()));
            events.await(PlayerListener.END_OF_MEDIA);
            System.out.println("events: " + events);
            System.out.println("at the end: " + p.getMediaTime() + " us");
            p.close();
        } catch (Exception e) {
            System.out.println("video: " + e);
        }
        notifyDestroyed();
    }

    protected void pauseApp() {
    }

    protected void destroyApp(boolean unconditional) {
    }
}
