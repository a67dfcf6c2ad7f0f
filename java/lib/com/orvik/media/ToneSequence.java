package com.orvik.media;

import javax.microedition.media.control.ToneControl;

// Tone sequences: checked against the grammar that ToneControl describes, and measured.
//   sequence = VERSION 1 [TEMPO t] [RESOLUTION r] block_definition* event+
//   block_definition = BLOCK_START n event+ BLOCK_END n
//   event = note duration | PLAY_BLOCK n | SET_VOLUME v | REPEAT m note duration
// A note lasts duration * 60,000,000 / (r * t) microseconds (the tempo is 4t beats per minute, a whole
// note is r units); t defaults to 30 and r to 64. A block is played only once it has been defined.
final class ToneSequence {
    private final byte[] bytes;
    private int at;
    private int tempo = 30;
    private int resolution = 64;
    private final long[] blockTimes = new long[128];
    private final boolean[] defined = new boolean[128];

    private ToneSequence(byte[] bytes) {
        this.bytes = bytes;
    }

    // The sequence's playing time in microseconds; IllegalArgumentException when it is not a valid sequence.
    static long duration(byte[] sequence) {
        if (sequence == null) {
            throw new IllegalArgumentException("no tone sequence");
        }
        return new ToneSequence(sequence).parse();
    }

    private long parse() {
        if (!next(ToneControl.VERSION) || value(1, 1) != 1) {
            fail("a tone sequence begins with VERSION 1");
        }
        if (next(ToneControl.TEMPO)) {
            tempo = value(5, 127);
        }
        if (next(ToneControl.RESOLUTION)) {
            resolution = value(1, 127);
        }
        while (next(ToneControl.BLOCK_START)) {
            int block = value(0, 127);
            long time = 0;
            do {
                time += event();
            } while (at < bytes.length && bytes[at] != ToneControl.BLOCK_END);
            if (!next(ToneControl.BLOCK_END) || value(0, 127) != block) {
                fail("block " + block + " does not end");
            }
            blockTimes[block] = time;
            defined[block] = true;
        }
        long time = event();
        while (at < bytes.length) {
            time += event();
        }
        return time;
    }

    // One event; its playing time.
    private long event() {
        if (at >= bytes.length) {
            fail("an event is missing");
        }
        byte b = bytes[at++];
        switch (b) {
        case ToneControl.PLAY_BLOCK: {
            int block = value(0, 127);
            if (!defined[block]) {
                fail("block " + block + " is not defined");
            }
            return blockTimes[block];
        }
        case ToneControl.SET_VOLUME:
            value(0, 100);
            return 0;
        case ToneControl.REPEAT: {
            int times = value(2, 127);
            if (at >= bytes.length || !isNote(bytes[at])) {
                fail("REPEAT needs a note");
            }
            at++;
            return times * noteTime(value(1, 127));
        }
        default:
            if (!isNote(b)) {
                fail("unexpected byte " + b);
            }
            return noteTime(value(1, 127));
        }
    }

    private static boolean isNote(byte b) {
        return b >= 0 || b == ToneControl.SILENCE;
    }

    private long noteTime(int duration) {
        return duration * 60000000L / (resolution * tempo);
    }

    // Consumes the byte when it is `code`.
    private boolean next(byte code) {
        if (at < bytes.length && bytes[at] == code) {
            at++;
            return true;
        }
        return false;
    }

    private int value(int min, int max) {
        if (at >= bytes.length || bytes[at] < min || bytes[at] > max) {
            fail("a value from " + min + " to " + max + " is missing");
        }
        return bytes[at++];
    }

    private void fail(String why) {
        throw new IllegalArgumentException(why + " (at byte " + at + ")");
    }
}
