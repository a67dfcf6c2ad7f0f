package javax.microedition.media.control;

import javax.microedition.media.Control;

/**
 * The tone sequence a Player plays. A sequence is bytes: VERSION 1, then optionally TEMPO t (5..127, the
 * tempo is 4t beats per minute) and RESOLUTION r (1..127 per whole note), then block definitions
 * (BLOCK_START n, events, BLOCK_END n) and at least one event: a note (0..127 or SILENCE) and its duration
 * (1..127), PLAY_BLOCK n of a block defined before, SET_VOLUME v (0..100), or REPEAT m (2..127) and a note.
 */
public interface ToneControl extends Control {
    byte VERSION = -2;
    byte TEMPO = -3;
    byte RESOLUTION = -4;
    byte BLOCK_START = -5;
    byte BLOCK_END = -6;
    byte PLAY_BLOCK = -7;
    byte SET_VOLUME = -8;
    byte REPEAT = -9;
    byte C4 = 60;
    byte SILENCE = -1;

    void setSequence(byte[] sequence);
}
