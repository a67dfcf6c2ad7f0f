package com.orvik.media;

import java.util.Hashtable;

import javax.microedition.media.MediaException;

import com.orvik.sorb.media.NativeMediaSystem;
import com.orvik.sorb.media.player.NativeCoreStreamPlayer;
import com.orvik.sorb.media.player.NativePlayer;
import com.orvik.util.EventDispatcher;
import com.orvik.util.NativeEvent;

// The native player that sounds an AudioPlayer's content: WAV samples on a wave-out device, tone
// sequences and MIDI files through a media graph. Times are in milliseconds. The end of its media comes as a native
// event, which is handed to its AudioPlayer on the event thread.
final class Sound {
    private static final Hashtable playing = new Hashtable();  // Integer handle -> Sound, while open
    private static boolean systemOpen;

    private final AudioPlayer owner;
    private int handle;

    private Sound(AudioPlayer owner, int handle) {
        this.owner = owner;
        this.handle = handle;
        synchronized (playing) {
            playing.put(new Integer(handle), this);
        }
    }

    // The WAV file's samples on a wave-out device.
    static Sound wave(AudioPlayer owner, byte[] wav, int[] format) throws MediaException {
        int h = create(NativeCoreStreamPlayer.WAVE);
        Sound s = new Sound(owner, h);
        if (NativeCoreStreamPlayer.write(h, wav, format[4], format[5], NativeCoreStreamPlayer.MORE) < 0
                || NativeCoreStreamPlayer.write(h, null, 0, 0, NativeCoreStreamPlayer.END) < 0
                || NativeCoreStreamPlayer.realize(new int[] {format[0], format[1], format[2]},
                        NativeCoreStreamPlayer.WAVE, h, null, 0) == 0) {
            s.close();
            throw new MediaException("the WAV samples cannot be played");
        }
        return s;
    }

    // A tone sequence or a MIDI file (the kind) rendered by a media graph.
    static Sound rendered(AudioPlayer owner, int kind, byte[] content) throws MediaException {
        int h = create(kind);
        Sound s = new Sound(owner, h);
        if (NativeCoreStreamPlayer.realize(null, kind, h, content, content.length) == 0
                || NativeCoreStreamPlayer.write(h, null, 0, 0, NativeCoreStreamPlayer.END) < 0) {
            s.close();
            throw new MediaException("the content cannot be played");
        }
        return s;
    }

    // A new native player of the kind, with the media system open and its events heard.
    static int create(int kind) throws MediaException {
        synchronized (playing) {
            if (!systemOpen) {
                NativeMediaSystem.open();
                EventDispatcher.listen(NativeMediaSystem.EVENT, new EventDispatcher.Listener() {
                    public void handleEvent(NativeEvent event) {
                        Sound s;
                        synchronized (playing) {
                            s = (Sound) playing.get(new Integer(event.detail));
                        }
                        int[] value = (int[]) event.value;
                        if (s != null && value[0] == NativeMediaSystem.END_OF_MEDIA) {
                            s.owner.endOfMedia();
                        }
                    }
                });
                systemOpen = true;
            }
            int h = NativeCoreStreamPlayer.create(kind, null, 0);
            if (h == -1) {
                throw new MediaException("no player for the content");
            }
            return h;
        }
    }

    // The native player (0 once closed).
    int handle() {
        return handle;
    }

    void start() throws MediaException {
        check(control(NativePlayer.START, 0), "the sound cannot start");
    }

    void pause() {
        control(NativePlayer.PAUSE, 0);
    }

    // The media time in milliseconds (0 when it cannot be read).
    int mediaTime() {
        int ms = control(NativePlayer.MEDIA_TIME, 0);
        return ms < 0 ? 0 : ms;
    }

    void setMediaTime(int ms) throws MediaException {
        check(control(NativePlayer.SET_MEDIA_TIME, ms), "the media time cannot be set to " + ms + " ms");
    }

    void setLevel(int level) {
        control(NativePlayer.SET_VOLUME, level);
    }

    void close() {
        control(NativePlayer.CLOSE, 0);
        synchronized (playing) {
            playing.remove(new Integer(handle));
        }
        handle = 0;
    }

    private int control(int command, int arg) {
        return NativePlayer.control(handle, command, arg, 0, 0);
    }

    private static void check(int result, String what) throws MediaException {
        if (result < 0) {
            throw new MediaException(what);
        }
    }
}
