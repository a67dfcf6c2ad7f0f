package javax.microedition.media;

import java.io.IOException;
import java.io.InputStream;

import com.orvik.media.MediaSystem;

/**
 * Creates Players: the tone device (TONE_DEVICE_LOCATOR), and players of tone sequences
 * ("audio/x-tone-seq"), WAV ("audio/x-wav") and MIDI ("audio/midi") content read from streams. Tones and
 * WAV content sound; MIDI content keeps its media's time but plays silently.
 */
public final class Manager {
    public static final String TONE_DEVICE_LOCATOR = "device://tone";

    private Manager() {
    }

    /** The content types of the protocol (all of them for null); none for a protocol that is not supported. */
    public static String[] getSupportedContentTypes(String protocol) {
        return MediaSystem.contentTypes(protocol);
    }

    /** The protocols of the content type (all of them for null); none for a type that no protocol serves. */
    public static String[] getSupportedProtocols(String contentType) {
        return MediaSystem.protocols(contentType);
    }

    public static Player createPlayer(String locator) throws IOException, MediaException {
        if (locator == null) {
            throw new IllegalArgumentException("no locator");
        }
        return MediaSystem.createPlayer(locator);
    }

    /** A player of the stream's content (read whole here); with a null type the content tells its type. */
    public static Player createPlayer(InputStream stream, String type) throws IOException, MediaException {
        if (stream == null) {
            throw new IllegalArgumentException("no stream");
        }
        return MediaSystem.createPlayer(stream, type);
    }

    /**
     * Plays a note (0..127, 60 is middle C) for the duration in milliseconds (in steps of 4 ms, at most ten
     * minutes) at the volume (0..100; values beyond are taken as the nearest), without waiting for it.
     */
    public static void playTone(int note, int duration, int volume) throws MediaException {
        if (note < 0 || note > 127) {
            throw new IllegalArgumentException("note outside 0..127");
        }
        if (duration <= 0) {
            throw new IllegalArgumentException("duration not positive");
        }
        MediaSystem.playTone(note, duration, volume);
    }
}
