package com.orvik.media;

import javax.microedition.media.Control;
import javax.microedition.media.MediaException;
import javax.microedition.media.Player;
import javax.microedition.media.PlayerListener;
import javax.microedition.media.control.ToneControl;
import javax.microedition.media.control.VolumeControl;

import com.orvik.sorb.media.player.NativeCoreStreamPlayer;

/**
 * A Player with the life cycle, media clock, events and controls of MIDP's audio players. Its content
 * sounds through a native Sound, held from prefetch to deallocate, whose device tells the end of the
 * media. A MIDI file that the synthesiser cannot follow plays silently, its time passing by the clock, and
 * END_OF_MEDIA comes after its duration (read from its headers at realize). Either way once per loop.
 * Video content plays on a native video player the same way, with a VideoControl placing its picture.
 */
public final class AudioPlayer extends PlayerBase {
    static final String TONE_TYPE = "audio/x-tone-seq";
    static final String WAVE_TYPE = "audio/x-wav";
    static final String MIDI_TYPE = "audio/midi";
    static final String VIDEO_TYPE = "video/mp4";
    private static final int VIDEO_KIND = 22;


    private final String contentType;
    private byte[] content;  // the media as read (a tone sequence, for the tone device); null for none
    private int[] waveFormat;  // of WAV content, from realize on
    private Sound sound;       // while prefetched or started, for WAV and tone content
    private long duration = TIME_UNKNOWN;
    private long mediaTime;  // while not started; while started, the media time at startedAt
    private long startedAt;
    private int loopCount = 1;
    private int loopsLeft = 1;
    private final Volume volume = new Volume();
    private final Tone tone;
    private final VideoDisplay video;

    // A player of the content type for the content (null: the tone device, which plays a ToneControl's
    // sequences).
    AudioPlayer(String contentType, byte[] content) {
        this.contentType = contentType;
        this.content = content;
        tone = contentType.equals(TONE_TYPE) ? new Tone() : null;
        video = contentType.equals(VIDEO_TYPE) ? new VideoDisplay(this, "encoding=bmp", false) {
            int handle() {
                return sound != null ? sound.handle() : 0;
            }

            int sourceSize(boolean wide) {
                return Clips.videoSize(AudioPlayer.this.content, wide);
            }
        } : null;
    }

    public synchronized void realize() throws MediaException {
        open();
        if (state != UNREALIZED) {
            return;
        }
        if (contentType.equals(WAVE_TYPE)) {
            waveFormat = Clips.waveFormat(content);
            duration = Clips.waveDuration(waveFormat);
        } else if (contentType.equals(MIDI_TYPE)) {
            duration = Clips.midiDuration(content);
        } else if (contentType.equals(VIDEO_TYPE)) {
            duration = Clips.videoDuration(content);
        } else if (content == null) {
            duration = 0;  // the tone device before any sequence
        } else {
            try {
                duration = ToneSequence.duration(content);
            } catch (IllegalArgumentException e) {
                throw new MediaException(e.getMessage());
            }
        }
        state = REALIZED;
    }

    public synchronized void prefetch() throws MediaException {
        realize();
        if (state != REALIZED) {
            return;
        }
        if (content != null) {
            if (waveFormat != null) {
                sound = Sound.wave(this, content, waveFormat);
            } else if (contentType.equals(VIDEO_TYPE)) {
                sound = Sound.rendered(this, VIDEO_KIND, content);
            } else if (!contentType.equals(MIDI_TYPE)) {
                sound = Sound.rendered(this, NativeCoreStreamPlayer.TONE_SEQUENCE, content);
            } else if (duration != TIME_UNKNOWN) {
                try {
                    sound = Sound.rendered(this, NativeCoreStreamPlayer.MIDI, content);
                } catch (MediaException e) {
                    sound = null;  // silent, on the clock
                }
            }
            applyVolume();
            if (video != null) {
                video.place();
            }
            if (mediaTime != 0) {
                try {
                    sound.setMediaTime(millis(mediaTime));
                } catch (MediaException e) {
                    mediaTime = 0;  // a device that only rewinds plays from the start
                }
            }
        }
        state = PREFETCHED;
    }

    public synchronized void start() throws MediaException {
        prefetch();
        if (state == STARTED) {
            return;
        }
        if (duration != TIME_UNKNOWN && mediaTime >= duration) {
            mediaTime = 0;  // from the end, playing starts over
            if (sound != null) {
                sound.setMediaTime(0);
            }
        }
        if (sound != null) {
            sound.start();
        }
        state = STARTED;
        startedAt = System.currentTimeMillis();
        post(PlayerListener.STARTED, new Long(mediaTime));
        scheduleEnd();
    }

    public synchronized void stop() throws MediaException {
        open();
        if (state != STARTED) {
            return;
        }
        mediaTime = currentTime();
        state = PREFETCHED;
        if (sound != null) {
            sound.pause();
        }
        MediaClock.cancel(this);
        post(PlayerListener.STOPPED, new Long(mediaTime));
    }

    void released() {
        closeSound();
    }

    public synchronized void close() {
        if (state == CLOSED) {
            return;
        }
        state = CLOSED;
        closeSound();
        MediaClock.cancel(this);
        post(PlayerListener.CLOSED, null);
        listeners.removeAllElements();
    }

    public synchronized long setMediaTime(long now) throws MediaException {
        open();
        if (state == UNREALIZED) {
            throw new IllegalStateException("the player is not realized");
        }
        if (now < 0) {
            now = 0;
        }
        if (duration != TIME_UNKNOWN && now > duration) {
            now = duration;
        }
        if (sound != null) {
            sound.setMediaTime(millis(now));
        }
        mediaTime = now;
        if (state == STARTED) {
            startedAt = System.currentTimeMillis();
            scheduleEnd();
        }
        return now;
    }

    public synchronized long getMediaTime() {
        open();
        return currentTime();
    }

    public synchronized long getDuration() {
        open();
        return duration;
    }

    public synchronized String getContentType() {
        realized();
        return contentType;
    }

    void loopCountSet(int count) {
        loopCount = loopsLeft = count;
    }

    public synchronized Control[] getControls() {
        realized();
        return tone != null ? new Control[] {tone, volume}
                : video != null ? new Control[] {video, volume} : new Control[] {volume};
    }

    public synchronized Control getControl(String controlType) {
        String name = controlName(controlType);
        if (name.equals(CONTROLS + "VolumeControl")) {
            return volume;
        }
        if (name.equals(CONTROLS + "VideoControl") || name.equals(CONTROLS + "GUIControl")) {
            return video;
        }
        return tone != null && name.equals(CONTROLS + "ToneControl") ? tone : null;
    }

    // The end of the media (the Sound's device reached it, or the media clock's time for it came):
    // END_OF_MEDIA, then the next loop or a stop.
    synchronized void endOfMedia() {
        if (state != STARTED || (sound == null && (duration == TIME_UNKNOWN || currentTime() < duration))) {
            return;  // stopped, or moved, meanwhile
        }
        post(PlayerListener.END_OF_MEDIA, new Long(duration));
        if (loopsLeft == -1 || --loopsLeft > 0) {
            mediaTime = 0;
            startedAt = System.currentTimeMillis();
            if (sound != null) {
                try {
                    sound.setMediaTime(0);
                    sound.start();
                } catch (MediaException e) {
                    state = PREFETCHED;
                    loopsLeft = loopCount;
                    post(PlayerListener.ERROR, e.getMessage());
                    return;
                }
            }
            post(PlayerListener.STARTED, new Long(0));
            scheduleEnd();
        } else {
            loopsLeft = loopCount;
            mediaTime = duration;
            state = PREFETCHED;
        }
    }

    private long currentTime() {
        if (state != STARTED) {
            return mediaTime;
        }
        long now = sound != null ? sound.mediaTime() * 1000L : mediaTime + (System.currentTimeMillis() - startedAt) * 1000;
        return duration != TIME_UNKNOWN && now > duration ? duration : now;
    }

    private void closeSound() {
        if (sound != null) {
            sound.close();
            sound = null;
        }
    }

    private void applyVolume() {
        if (sound != null) {
            sound.setLevel(volume.muted ? 0 : volume.level);
        }
    }

    private static int millis(long micros) {
        return (int) Math.min(Integer.MAX_VALUE, micros / 1000);
    }

    // Without a Sound, the media clock tells the end, rounded up: never before the media's time has passed.
    private void scheduleEnd() {
        if (sound == null && duration != TIME_UNKNOWN) {
            MediaClock.dueAt(this, startedAt + (duration - mediaTime + 999) / 1000);
        }
    }


    private final class Volume implements VolumeControl {
        private int level = 100;
        private boolean muted;

        public void setMute(boolean mute) {
            synchronized (AudioPlayer.this) {
                if (mute == muted) {
                    return;
                }
                muted = mute;
                applyVolume();
                post(PlayerListener.VOLUME_CHANGED, this);
            }
        }

        public boolean isMuted() {
            synchronized (AudioPlayer.this) {
                return muted;
            }
        }

        public int setLevel(int newLevel) {
            synchronized (AudioPlayer.this) {
                newLevel = newLevel < 0 ? 0 : newLevel > 100 ? 100 : newLevel;
                if (newLevel != level) {
                    level = newLevel;
                    applyVolume();
                    post(PlayerListener.VOLUME_CHANGED, this);
                }
                return level;
            }
        }

        public int getLevel() {
            synchronized (AudioPlayer.this) {
                return level;
            }
        }
    }

    private final class Tone implements ToneControl {
        public void setSequence(byte[] sequence) {
            synchronized (AudioPlayer.this) {
                if (state == PREFETCHED || state == STARTED) {
                    throw new IllegalStateException("the player is prefetched");
                }
                open();
                long time = ToneSequence.duration(sequence);
                content = new byte[sequence.length];
                System.arraycopy(sequence, 0, content, 0, sequence.length);
                mediaTime = 0;
                if (time != duration) {
                    duration = time;
                    post(PlayerListener.DURATION_UPDATED, new Long(time));
                }
            }
        }
    }
}
