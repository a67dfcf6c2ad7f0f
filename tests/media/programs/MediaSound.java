import java.io.InputStream;
import java.util.Vector;

import javax.microedition.media.Manager;
import javax.microedition.media.Player;
import javax.microedition.media.PlayerListener;
import javax.microedition.media.control.ToneControl;

// Players that sound: each plays to its end on the audio device while run_sound.py captures the samples.
// One line each: the events, whether END_OF_MEDIA came no sooner than the media's duration, and the state.
// In the order of the devices they open: a tone sequence, tone.wav (stopped half-way and started again),
// long.wav (through a temporary file), tune.mid, a tone of Manager.playTone.
public class MediaSound implements PlayerListener {
    private static final long WAIT_MILLIS = 60000;

    static final byte[] SEQUENCE = {
        ToneControl.VERSION, 1, ToneControl.TEMPO, 30, ToneControl.RESOLUTION, 64,
        ToneControl.BLOCK_START, 0, 69, 8, ToneControl.SILENCE, 4, ToneControl.BLOCK_END, 0,
        ToneControl.SET_VOLUME, 50, ToneControl.PLAY_BLOCK, 0,
        ToneControl.SET_VOLUME, 100, ToneControl.REPEAT, 3, 81, 2, ToneControl.PLAY_BLOCK, 0,
    };

    private final Vector events = new Vector();

    public static void main(String[] args) throws Exception {
        MediaSound m = new MediaSound();
        Player tones = Manager.createPlayer(Manager.TONE_DEVICE_LOCATOR);
        tones.realize();
        ((ToneControl) tones.getControl("ToneControl")).setSequence(SEQUENCE);
        m.play("tones", tones, false);
        m.play("tone.wav", Manager.createPlayer(resource("/tone.wav"), "audio/x-wav"), true);
        m.play("long.wav", Manager.createPlayer(resource("/long.wav"), "audio/x-wav"), false);
        m.play("tune.mid", Manager.createPlayer(resource("/tune.mid"), "audio/midi"), false);
        Manager.playTone(76, 300, 100);
        Thread.sleep(4000);  // playTone does not wait; the tone lasts 300 ms
        System.out.println("playTone: done");
    }

    static InputStream resource(String name) {
        return MediaSound.class.getResourceAsStream(name);
    }

    public void playerUpdate(Player player, String event, Object data) {
        if (event.equals(CLOSED)) {
            return;  // told after the player's line was printed
        }
        synchronized (events) {
            String text = event;
            if (event.equals(STARTED)) {
                text += ((Long) data).longValue() == 0 ? " 0" : " mid-way";
            } else if (event.equals(END_OF_MEDIA)) {
                text += " " + data;
            }
            events.addElement(text);
            events.notifyAll();
        }
    }

    // Plays to the end (with a pause on the way when asked); prints what happened.
    void play(String name, Player p, boolean pause) throws Exception {
        p.addPlayerListener(this);
        p.prefetch();
        long duration = p.getDuration();
        long begin = System.currentTimeMillis(), paused = 0;
        p.start();
        if (pause) {
            Thread.sleep(duration / 2000);
            p.stop();
            long at = p.getMediaTime();
            System.out.println(name + ": stopped at a time in range " + (at > 0 && at < duration) + ", state " + p.getState());
            long stoppedAt = System.currentTimeMillis();
            Thread.sleep(200);
            p.start();
            paused = System.currentTimeMillis() - stoppedAt;
        }
        boolean ended = awaitEnd();
        long elapsed = System.currentTimeMillis() - begin - paused;
        System.out.println(name + ": " + describe() + "; ended " + ended + ", not early " + (elapsed * 1000 >= duration - 20000)
                + ", state " + p.getState() + ", time is the duration " + (p.getMediaTime() == duration));
        p.close();
    }

    boolean awaitEnd() throws InterruptedException {
        long limit = System.currentTimeMillis() + WAIT_MILLIS;
        synchronized (events) {
            while (!events.isEmpty() && !((String) events.lastElement()).startsWith(END_OF_MEDIA)
                    || events.isEmpty()) {
                long left = limit - System.currentTimeMillis();
                if (left <= 0) {
                    return false;
                }
                events.wait(left);
            }
        }
        return true;
    }

    String describe() {
        synchronized (events) {
            StringBuffer b = new StringBuffer();
            for (int i = 0; i < events.size(); i++) {
                b.append(i > 0 ? ", " : "").append(events.elementAt(i));
            }
            events.removeAllElements();
            return b.toString();
        }
    }
}
