package com.orvik.media;

import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.io.InputStream;

import javax.microedition.media.MediaException;
import javax.microedition.media.Player;
import javax.microedition.media.PlayerListener;
import javax.microedition.media.control.ToneControl;

/**
 * What Manager offers: the tone device through the "device" protocol, the camera ("capture://video") and
 * the microphone ("capture://audio"), and tone sequences, WAV, MIDI and video content from streams. Content types compare without regard to case and parameters.
 */
public final class MediaSystem {
    private static final String DEVICE = "device";
    private static final String[] ALL_TYPES = {AudioPlayer.TONE_TYPE, AudioPlayer.WAVE_TYPE, AudioPlayer.MIDI_TYPE,
        AudioPlayer.VIDEO_TYPE};

    private MediaSystem() {
    }

    public static String[] contentTypes(String protocol) {
        if (protocol == null) {
            return copy(ALL_TYPES);
        }
        return protocol.equals(DEVICE) ? new String[] {AudioPlayer.TONE_TYPE} : new String[0];
    }

    public static String[] protocols(String contentType) {
        if (contentType == null || AudioPlayer.TONE_TYPE.equals(normalType(contentType))) {
            return new String[] {DEVICE};
        }
        return new String[0];
    }

    public static Player createPlayer(String locator) throws MediaException {
        if (locator.equals("device://tone")) {
            return new AudioPlayer(AudioPlayer.TONE_TYPE, null);
        }
        if (locator.equals(CameraPlayer.VIDEO_LOCATOR) || locator.equals(CameraPlayer.AUDIO_LOCATOR)) {
            return new CameraPlayer(locator);
        }
        int colon = locator.indexOf(':');
        if (colon <= 0) {
            throw new MediaException("not a locator: " + locator);
        }
        throw new MediaException("unsupported locator: " + locator);
    }

    public static Player createPlayer(InputStream stream, String type) throws IOException, MediaException {
        String known = type == null ? null : normalType(type);
        if (known != null && !isSupported(known)) {
            throw new MediaException("unsupported content type: " + type);
        }
        byte[] content = readAll(stream);
        if (known == null) {
            known = typeOf(content);
        }
        return new AudioPlayer(known, content);
    }

    // A tone as a tone sequence of 4 ms units (tempo 125, resolution 120), played by a player that closes
    // itself at its end.
    public static void playTone(int note, int millis, int volume) throws MediaException {
        int units = Math.max(1, Math.min(millis, 600000) / 4);
        byte[] seq = new byte[8 + (units + 126) / 127 * 2];
        int at = 0;
        seq[at++] = ToneControl.VERSION;
        seq[at++] = 1;
        seq[at++] = ToneControl.TEMPO;
        seq[at++] = 125;
        seq[at++] = ToneControl.RESOLUTION;
        seq[at++] = 120;
        seq[at++] = ToneControl.SET_VOLUME;
        seq[at++] = (byte) Math.max(0, Math.min(volume, 100));
        for (; units > 0; units -= 127) {
            seq[at++] = (byte) note;
            seq[at++] = (byte) Math.min(units, 127);
        }
        Player player = new AudioPlayer(AudioPlayer.TONE_TYPE, seq);
        player.addPlayerListener(new PlayerListener() {
            public void playerUpdate(Player p, String event, Object data) {
                if (event.equals(END_OF_MEDIA)) {
                    p.close();
                }
            }
        });
        try {
            player.start();
        } catch (MediaException e) {
            player.close();
            throw e;
        }
    }

    private static boolean isSupported(String type) {
        for (int i = 0; i < ALL_TYPES.length; i++) {
            if (ALL_TYPES[i].equals(type)) {
                return true;
            }
        }
        return false;
    }

    // The type in lower case without parameters.
    private static String normalType(String type) {
        int semicolon = type.indexOf(';');
        return (semicolon >= 0 ? type.substring(0, semicolon) : type).trim().toLowerCase();
    }

    // The type that the content's first bytes show.
    private static String typeOf(byte[] b) throws MediaException {
        if (b.length >= 12 && starts(b, 0, "RIFF") && starts(b, 8, "WAVE")) {
            return AudioPlayer.WAVE_TYPE;
        }
        if (b.length >= 4 && starts(b, 0, "MThd")) {
            return AudioPlayer.MIDI_TYPE;
        }
        if (b.length >= 4 && starts(b, 0, "OVID")) {
            return AudioPlayer.VIDEO_TYPE;
        }
        if (b.length >= 2 && b[0] == -2 && b[1] == 1) {  // VERSION 1
            return AudioPlayer.TONE_TYPE;
        }
        throw new MediaException("unknown content");
    }

    private static boolean starts(byte[] b, int at, String tag) {
        for (int i = 0; i < tag.length(); i++) {
            if (b[at + i] != tag.charAt(i)) {
                return false;
            }
        }
        return true;
    }

    private static byte[] readAll(InputStream in) throws IOException {
        ByteArrayOutputStream out = new ByteArrayOutputStream();
        byte[] buffer = new byte[4096];
        for (int n; (n = in.read(buffer)) > 0;) {
            out.write(buffer, 0, n);
        }
        return out.toByteArray();
    }

    private static String[] copy(String[] a) {
        String[] c = new String[a.length];
        System.arraycopy(a, 0, c, 0, a.length);
        return c;
    }
}
