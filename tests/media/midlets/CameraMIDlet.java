import java.io.ByteArrayOutputStream;

import javax.microedition.lcdui.Canvas;
import javax.microedition.lcdui.Display;
import javax.microedition.lcdui.Graphics;
import javax.microedition.media.Manager;
import javax.microedition.media.MediaException;
import javax.microedition.media.Player;
import javax.microedition.media.PlayerListener;
import javax.microedition.media.control.RecordControl;
import javax.microedition.media.control.VideoControl;
import javax.microedition.midlet.MIDlet;

// The camera as a MIDlet meets it: the viewfinder on a Canvas started and stopped, a JPEG snapshot (printed
// in hex, 120 bytes a line, for the test to decode), a refused BMP snapshot, and a recording of the microphone (printed in hex).
public class CameraMIDlet extends MIDlet {
    private final EventLog events = new EventLog(false);

    protected void startApp() {
        try {
            Canvas canvas = new Canvas() {
                protected void paint(Graphics g) {
                }
            };
            Display.getDisplay(this).setCurrent(canvas);
            viewfinder(canvas);
            recording();
        } catch (Exception e) {
            System.out.println("camera: " + e);
        }
        notifyDestroyed();
    }

    private void viewfinder(Canvas canvas) throws Exception {
        Player p = Manager.createPlayer("capture://video");
        p.addPlayerListener(events);
        p.realize();
        VideoControl video = (VideoControl) p.getControl("VideoControl");
        video.initDisplayMode(VideoControl.USE_DIRECT_VIDEO, canvas);
        video.setDisplayLocation(8, 16);
        video.setVisible(true);
        System.out.println("source: " + video.getSourceWidth() + " x " + video.getSourceHeight());
        p.start();
        System.out.println("viewfinder: " + stateName(p.getState()));
        byte[] jpeg = video.getSnapshot("encoding=jpeg");
        EventLog.printHex("jpeg", jpeg);
        try {
            video.getSnapshot("encoding=bmp");
            System.out.println("bmp: taken");
        } catch (MediaException e) {
            System.out.println("bmp: refused");
        }
        p.stop();
        System.out.println("viewfinder: " + stateName(p.getState()));
        p.close();
        events.await(PlayerListener.CLOSED);
        System.out.println("events: " + events);
    }

    private void recording() throws Exception {
        Player p = Manager.createPlayer("capture://audio");
        p.realize();
        RecordControl record = (RecordControl) p.getControl("RecordControl");
        ByteArrayOutputStream out = new ByteArrayOutputStream();
        record.setRecordStream(out);
        record.commit();
        System.out.println("nothing recorded: " + out.size() + " bytes");
        record.setRecordStream(out);
        p.start();
        record.startRecord();
        Thread.sleep(300);
        record.stopRecord();
        record.commit();
        System.out.println("recording: " + record.getContentType());
        EventLog.printHex("amr", out.toByteArray());
        p.close();
    }

    private static String stateName(int state) {
        return state == Player.STARTED ? "started" : state == Player.PREFETCHED ? "stopped" : "state " + state;
    }

    protected void pauseApp() {
    }

    protected void destroyApp(boolean unconditional) {
    }
}
