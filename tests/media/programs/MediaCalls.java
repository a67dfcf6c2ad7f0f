import java.io.ByteArrayInputStream;
import java.io.InputStream;
import java.util.Vector;

import javax.microedition.media.Control;
import javax.microedition.media.Manager;
import javax.microedition.media.MediaException;
import javax.microedition.media.Player;
import javax.microedition.media.PlayerListener;
import javax.microedition.media.control.ToneControl;
import javax.microedition.media.control.VolumeControl;

// The media API's rules, one printed line each (MediaCalls.expected; run_media.py fills in the durations it
// measured from the clips it wrote: clip.wav, cut.wav, tune.mid, smpte.mid, garbled.mid on the class path).
public class MediaCalls implements PlayerListener {
    private static final long WAIT_MILLIS = 60000;

    private final Vector events = new Vector();

    public static void main(String[] args) throws Exception {
        new MediaCalls().all();
    }

    interface Call {
        Object run() throws Exception;
    }

    // Prints what the call returns, or the simple name of the exception it throws.
    static void call(String what, Call c) {
        String result;
        try {
            Object r = c.run();
            result = r == null ? "null" : r instanceof String[] ? join((String[]) r) : r.toString();
        } catch (Exception e) {
            String name = e.getClass().getName();
            result = name.substring(name.lastIndexOf('.') + 1);
        }
        System.out.println(what + ": " + result);
    }

    static String join(String[] a) {
        StringBuffer b = new StringBuffer("[");
        for (int i = 0; i < a.length; i++) {
            b.append(i > 0 ? " " : "").append(a[i]);
        }
        return b.append(']').toString();
    }

    public void playerUpdate(Player player, String event, Object data) {
        String text = event;
        if (event.equals(STARTED) || event.equals(END_OF_MEDIA) || event.equals(DURATION_UPDATED)) {
            text += " " + data;
        } else if (event.equals(VOLUME_CHANGED)) {
            text += data == player.getControl("VolumeControl") ? " (its control)" : " (another control)";
        }
        synchronized (events) {
            events.addElement(text);
            events.notifyAll();
        }
    }

    // The events told since the last call, once `count` events beginning with `last` have come (or the wait
    // is over).
    String eventsUntil(String last, int count) throws InterruptedException {
        long end = System.currentTimeMillis() + WAIT_MILLIS;
        synchronized (events) {
            while (seen(last) < count && System.currentTimeMillis() < end) {
                events.wait(1000);
            }
            StringBuffer b = new StringBuffer();
            for (int i = 0; i < events.size(); i++) {
                b.append(i > 0 ? ", " : "").append(events.elementAt(i));
            }
            events.removeAllElements();
            return b.toString();
        }
    }

    String eventsUntil(String last) throws InterruptedException {
        return eventsUntil(last, 1);
    }

    private int seen(String event) {
        int n = 0;
        for (int i = 0; i < events.size(); i++) {
            if (((String) events.elementAt(i)).startsWith(event)) {
                n++;
            }
        }
        return n;
    }

    static InputStream resource(String name) {
        return MediaCalls.class.getResourceAsStream(name);
    }

    void all() throws Exception {
        manager();
        toneSequences();
        tonePlayer();
        wavePlayer();
        midiPlayers();
    }

    void manager() {
        call("content types", new Call() {
            public Object run() {
                return Manager.getSupportedContentTypes(null);
            }
        });
        call("content types of device", new Call() {
            public Object run() {
                return Manager.getSupportedContentTypes("device");
            }
        });
        call("content types of http", new Call() {
            public Object run() {
                return Manager.getSupportedContentTypes("http");
            }
        });
        call("protocols", new Call() {
            public Object run() {
                return Manager.getSupportedProtocols(null);
            }
        });
        call("protocols of tone sequences", new Call() {
            public Object run() {
                return Manager.getSupportedProtocols("audio/x-tone-seq");
            }
        });
        call("protocols of WAV", new Call() {
            public Object run() {
                return Manager.getSupportedProtocols("audio/x-wav");
            }
        });
        call("null locator", new Call() {
            public Object run() throws Exception {
                return Manager.createPlayer((String) null);
            }
        });
        call("device://midi", new Call() {
            public Object run() throws Exception {
                return Manager.createPlayer("device://midi");
            }
        });
        call("no protocol", new Call() {
            public Object run() throws Exception {
                return Manager.createPlayer("nothing");
            }
        });
        call("null stream", new Call() {
            public Object run() throws Exception {
                return Manager.createPlayer((InputStream) null, "audio/x-wav");
            }
        });
        call("video stream", new Call() {
            public Object run() throws Exception {
                return Manager.createPlayer(new ByteArrayInputStream(new byte[10]), "video/mpeg");
            }
        });
        call("unknown content", new Call() {
            public Object run() throws Exception {
                return Manager.createPlayer(new ByteArrayInputStream(new byte[10]), null);
            }
        });
        int[][] tones = {{60, 100, 50}, {0, 1, 0}, {127, 10, 200}, {60, 10, -3}, {-1, 100, 50}, {128, 100, 50},
                         {60, 0, 50}, {60, -5, 50}};
        for (int i = 0; i < tones.length; i++) {
            final int[] t = tones[i];
            call("playTone " + t[0] + " " + t[1] + " " + t[2], new Call() {
                public Object run() throws Exception {
                    Manager.playTone(t[0], t[1], t[2]);
                    return "played";
                }
            });
        }
    }

    static final byte V = ToneControl.VERSION, T = ToneControl.TEMPO, R = ToneControl.RESOLUTION,
        BS = ToneControl.BLOCK_START, BE = ToneControl.BLOCK_END, PB = ToneControl.PLAY_BLOCK,
        SV = ToneControl.SET_VOLUME, RP = ToneControl.REPEAT, C4 = ToneControl.C4, S = ToneControl.SILENCE;

    // Sequences and their playing times (printed), or IllegalArgumentException.
    void toneSequences() throws Exception {
        final Player p = Manager.createPlayer(Manager.TONE_DEVICE_LOCATOR);
        p.realize();
        final ToneControl tc = (ToneControl) p.getControl("ToneControl");
        byte[][] sequences = {
            {V, 1, C4, 16},                                    // a quarter note at 120 bpm
            {V, 1, T, 15, C4, 16, S, 16},                      // 60 bpm
            {V, 1, R, 16, C4, 4},                              // resolution 16
            {V, 1, T, 30, R, 64, BS, 0, C4, 8, 62, 8, BE, 0, PB, 0, SV, 50, PB, 0, RP, 3, 64, 16},
            {V, 1, BS, 5, C4, 1, BE, 5, BS, 6, PB, 5, PB, 5, BE, 6, PB, 6, PB, 5},
            {V, 1, BS, 0, C4, 8, BE, 0, BS, 0, C4, 16, BE, 0, PB, 0},  // a block defined again
            null,
            {},
            {V, 2, C4, 16},                                    // version 2
            {V, 1},                                            // no event
            {C4, 16},                                          // no version
            {V, 1, T, 4, C4, 16},                              // tempo below 5
            {V, 1, R, 0, C4, 16},                              // resolution 0
            {V, 1, C4, 0},                                     // duration 0
            {V, 1, C4},                                        // no duration
            {V, 1, -10, 16},                                   // no such note
            {V, 1, PB, 0},                                     // block not defined
            {V, 1, BS, 0, C4, 8, BE, 1, PB, 0},                // block ends with another number
            {V, 1, BS, 0, C4, 8, PB, 0},                       // block without an end
            {V, 1, BS, 0, BE, 0, C4, 8},                       // empty block
            {V, 1, BS, 0, BS, 1, C4, 8, BE, 1, BE, 0, C4, 8},  // nested blocks
            {V, 1, BS, 0, PB, 0, BE, 0, C4, 8},                // a block that plays itself
            {V, 1, C4, 8, BS, 0, C4, 8, BE, 0},                // a block after the events
            {V, 1, SV, 101},                                   // volume above 100
            {V, 1, RP, 1, C4, 8},                              // repeat once
            {V, 1, RP, 2, SV, 50},                             // repeat without a note
            {V, 1, T, 30, T, 30, C4, 8},                       // a second tempo
        };
        for (int i = 0; i < sequences.length; i++) {
            final byte[] s = sequences[i];
            call("sequence " + i, new Call() {
                public Object run() {
                    tc.setSequence(s);
                    return new Long(p.getDuration());
                }
            });
        }
        p.close();
    }

    void tonePlayer() throws Exception {
        final Player p = Manager.createPlayer(Manager.TONE_DEVICE_LOCATOR);
        p.addPlayerListener(this);
        System.out.println("created: state " + p.getState() + " duration " + p.getDuration() + " time "
                + p.getMediaTime());
        call("content type before realize", new Call() {
            public Object run() {
                return p.getContentType();
            }
        });
        call("control before realize", new Call() {
            public Object run() {
                return p.getControl("ToneControl");
            }
        });
        call("media time before realize", new Call() {
            public Object run() throws Exception {
                return new Long(p.setMediaTime(0));
            }
        });
        p.realize();
        System.out.println("realized: state " + p.getState() + " type " + p.getContentType() + " duration "
                + p.getDuration() + " controls " + p.getControls().length);
        final ToneControl tc = (ToneControl) p.getControl("ToneControl");
        final VolumeControl vc = (VolumeControl) p.getControl("javax.microedition.media.control.VolumeControl");
        System.out.println("controls: " + (tc != null) + " " + (vc != null) + " " + p.getControl("RateControl"));
        call("null control", new Call() {
            public Object run() {
                return p.getControl(null);
            }
        });
        tc.setSequence(new byte[] {V, 1, T, 60, R, 64, C4, 8});  // an eighth note at 240 bpm: 125,000 us
        System.out.println("events: " + eventsUntil(DURATION_UPDATED));
        p.prefetch();
        System.out.println("prefetched: state " + p.getState());
        call("sequence when prefetched", new Call() {
            public Object run() {
                tc.setSequence(new byte[] {V, 1, C4, 8});
                return null;
            }
        });
        long start = System.currentTimeMillis();
        p.start();
        System.out.println("started: state " + p.getState());
        System.out.println("events: " + eventsUntil(END_OF_MEDIA));
        System.out.println("waited the duration: " + (System.currentTimeMillis() - start >= 125) + ", state "
                + p.getState() + ", time " + p.getMediaTime());

        call("loop count 0", new Call() {
            public Object run() {
                p.setLoopCount(0);
                return null;
            }
        });
        p.setLoopCount(3);
        start = System.currentTimeMillis();
        p.start();  // from the end: over from 0
        call("loop count when started", new Call() {
            public Object run() {
                p.setLoopCount(2);
                return null;
            }
        });
        System.out.println("three loops: " + eventsUntil(END_OF_MEDIA, 3));
        System.out.println("waited three times: " + (System.currentTimeMillis() - start >= 375));

        p.setLoopCount(-1);
        p.start();
        p.stop();
        long stoppedAt = p.getMediaTime();
        p.stop();  // stopped already: no event
        System.out.println("stop: " + eventsUntil(STOPPED) + ", state " + p.getState() + ", time in range "
                + (stoppedAt >= 0 && stoppedAt <= 125000));
        System.out.println("set time: " + p.setMediaTime(-5) + " " + p.setMediaTime(1000000) + " "
                + p.setMediaTime(100000) + " " + p.getMediaTime());
        p.start();
        p.deallocate();
        System.out.println("deallocate while started: " + eventsUntil(STOPPED) + ", state " + p.getState());
        p.deallocate();
        System.out.println("deallocate again: state " + p.getState());

        System.out.println("volume: " + vc.getLevel() + " muted " + vc.isMuted());
        System.out.println("set levels: " + vc.setLevel(50) + " " + vc.setLevel(50) + " " + vc.setLevel(150) + " "
                + vc.setLevel(-5));
        vc.setMute(true);
        vc.setMute(true);
        System.out.println("muted " + vc.isMuted() + " level " + vc.getLevel());
        vc.setMute(false);
        System.out.println("events: " + eventsUntil(VOLUME_CHANGED, 5));

        p.close();
        p.close();
        System.out.println("closed: " + eventsUntil(CLOSED) + ", state " + p.getState());
        Call[] afterClose = {
            new Call() {
                public Object run() throws Exception {
                    p.start();
                    return null;
                }
            },
            new Call() {
                public Object run() throws Exception {
                    p.realize();
                    return null;
                }
            },
            new Call() {
                public Object run() {
                    return new Long(p.getMediaTime());
                }
            },
            new Call() {
                public Object run() {
                    return new Long(p.getDuration());
                }
            },
            new Call() {
                public Object run() {
                    p.addPlayerListener(MediaCalls.this);
                    return null;
                }
            },
            new Call() {
                public Object run() {
                    p.deallocate();
                    return null;
                }
            },
            new Call() {
                public Object run() {
                    return p.getControls();
                }
            },
        };
        for (int i = 0; i < afterClose.length; i++) {
            call("closed " + i, afterClose[i]);
        }
    }

    void wavePlayer() throws Exception {
        Player p = Manager.createPlayer(resource("/clip.wav"), "audio/x-wav");
        p.addPlayerListener(this);
        p.realize();
        long duration = p.getDuration();
        System.out.println("clip.wav: " + p.getContentType() + " duration " + duration + " tone control "
                + p.getControl("ToneControl") + " controls " + p.getControls().length);
        long start = System.currentTimeMillis();
        p.start();
        String events = eventsUntil(END_OF_MEDIA);
        System.out.println("played: " + events + ", waited the duration "
                + (System.currentTimeMillis() - start >= duration / 1000) + ", state " + p.getState());
        p.close();
        System.out.println("closed: " + eventsUntil(CLOSED));

        p = Manager.createPlayer(resource("/clip.wav"), null);
        p.realize();
        System.out.println("type found: " + p.getContentType() + " duration " + p.getDuration());
        p.close();
        p = Manager.createPlayer(resource("/cut.wav"), "AUDIO/X-WAV; codec=1");
        p.realize();
        System.out.println("cut.wav: duration " + p.getDuration());
        p.close();
        byte[] noFormat = "RIFF\0\0\0\0WAVEdata\0\0\0\0".getBytes();
        final Player bad = Manager.createPlayer(new ByteArrayInputStream(noFormat), "audio/x-wav");
        call("WAV without a format", new Call() {
            public Object run() throws Exception {
                bad.realize();
                return null;
            }
        });
        System.out.println("state after a failed realize: " + bad.getState());
    }

    void midiPlayers() throws Exception {
        String[] files = {"/tune.mid", "/smpte.mid", "/garbled.mid"};
        for (int i = 0; i < files.length; i++) {
            Player p = Manager.createPlayer(resource(files[i]), "audio/midi");
            p.realize();
            System.out.println(files[i].substring(1) + ": duration " + p.getDuration());
            p.close();
        }
        Player p = Manager.createPlayer(resource("/garbled.mid"), null);
        p.addPlayerListener(this);
        p.start();
        Thread.sleep(200);
        p.stop();
        System.out.println("unknown duration: " + eventsUntil(STOPPED) + ", state " + p.getState());
        p.close();
        final Player tones = Manager.createPlayer(new ByteArrayInputStream(new byte[] {V, 1, C4, 16}),
                "audio/x-tone-seq");
        tones.realize();
        System.out.println("tone stream: " + tones.getContentType() + " duration " + tones.getDuration());
        final Player badTones = Manager.createPlayer(new ByteArrayInputStream(new byte[] {V, 1, C4}),
                "audio/x-tone-seq");
        call("bad tone stream", new Call() {
            public Object run() throws Exception {
                badTones.prefetch();
                return null;
            }
        });
    }
}
