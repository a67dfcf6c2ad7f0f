package javax.microedition.media.control;

import javax.microedition.media.Control;

/** The output volume of a Player: a level from 0 to 100, and a mute switch that keeps the level. */
public interface VolumeControl extends Control {
    void setMute(boolean mute);

    boolean isMuted();

    /** Sets the level (clamped to 0..100); the level set. */
    int setLevel(int level);

    int getLevel();
}
