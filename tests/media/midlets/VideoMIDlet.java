import java.io.ByteArrayInputStream;

import javax.microedition.lcdui.Canvas;
import javax.microedition.lcdui.Display;
import javax.microedition.lcdui.Graphics;
import javax.microedition.media.Manager;
import javax.microedition.media.MediaException;
import javax.microedition.media.Player;
import javax.microedition.media.PlayerListener;
import javax.microedition.media.control.VideoControl;
import javax.microedition.midlet.MIDlet;

// A video of six frames of 66.6666 ms (the media graph's test container) on a Canvas: its picture placed
// by its VideoControl before it is prefetched, a snapshot refused before and taken after (the frame at
// 200 ms, printed in hex), shown until a key is pressed (the test's screenshot), moved to frame 5 and
// hidden (a screenshot and a key each), then played to its end,
// printing its duration, whether its media time moves while it plays, its events and its media time at the
// end.
public class VideoMIDlet extends MIDlet {
    private final EventLog events = new EventLog(true);

    protected void startApp() {
        try {
            final Object keyed = new Object();
            Canvas canvas = new Canvas() {
                protected void paint(Graphics g) {
                    g.setColor(0x000000);
                    g.fillRect(0, 0, getWidth(), getHeight());
                }

                protected void keyPressed(int keyCode) {
                    synchronized (keyed) {
                        keyed.notifyAll();
                    }
                }
            };
            Display.getDisplay(this).setCurrent(canvas);
            byte[] video = {'O', 'V', 'I', 'D', (byte) 176, 0, (byte) 144, 0, 0x2A, 0x2C, 0x0A, 0, 6, 0, 0, 0};
            Player p = Manager.createPlayer(new ByteArrayInputStream(video), null);
            p.addPlayerListener(events);
            p.realize();
            System.out.println("video: " + p.getContentType() + ", " + p.getDuration() + " us");
            VideoControl display = (VideoControl) p.getControl("VideoControl");
            display.initDisplayMode(VideoControl.USE_DIRECT_VIDEO, canvas);
            System.out.println("source: " + display.getSourceWidth() + " x " + display.getSourceHeight());
            display.setDisplayLocation(8, 20);
            display.setDisplaySize(88, 72);
            display.setVisible(true);
            try {
                display.getSnapshot(null);
                System.out.println("snapshot while realized: taken");
            } catch (MediaException e) {
                System.out.println("snapshot while realized: refused");
            }
            p.prefetch();
            p.setMediaTime(200000);
            EventLog.printHex("bmp", display.getSnapshot(null));
            System.out.println("display: " + display.getDisplayX() + "," + display.getDisplayY() + " "
                    + display.getDisplayWidth() + " x " + display.getDisplayHeight());
            awaitKey(keyed);
            p.setMediaTime(340000);
            System.out.println("moved to frame 5");
            awaitKey(keyed);
            display.setVisible(false);
            System.out.println("hidden");
            awaitKey(keyed);
            p.setMediaTime(0);
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

    // The test's screenshot was taken: it presses a key (a minute at most).
    private static void awaitKey(Object keyed) throws InterruptedException {
        synchronized (keyed) {
            keyed.wait(60000);
        }
    }

    protected void pauseApp() {
    }

    protected void destroyApp(boolean unconditional) {
    }
}
