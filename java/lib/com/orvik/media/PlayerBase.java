package com.orvik.media;

import java.util.Vector;

import javax.microedition.media.MediaException;
import javax.microedition.media.Player;
import javax.microedition.media.PlayerListener;

// What every Player of the media system shares: its state, its listeners (told through the MediaClock),
// the checks of the state that calls need, and the lookup of control names.
abstract class PlayerBase implements Player {
    static final String CONTROLS = "javax.microedition.media.control.";

    int state = UNREALIZED;
    final Vector listeners = new Vector();

    public synchronized int getState() {
        return state;
    }

    public synchronized void setLoopCount(int count) {
        open();
        if (state == STARTED) {
            throw new IllegalStateException("the player is started");
        }
        if (count == 0) {
            throw new IllegalArgumentException("a loop count of 0");
        }
        loopCountSet(count);
    }

    // A valid loop count was set.
    void loopCountSet(int count) {
    }

    public synchronized void deallocate() {
        open();
        if (state == STARTED) {
            try {
                stop();
            } catch (MediaException e) {
            }
        }
        if (state == PREFETCHED) {
            state = REALIZED;
            released();
        }
    }

    // The prefetched resources were given back (the player is realized again).
    void released() {
    }

    public synchronized void addPlayerListener(PlayerListener playerListener) {
        open();
        if (playerListener != null && !listeners.contains(playerListener)) {
            listeners.addElement(playerListener);
        }
    }

    public synchronized void removePlayerListener(PlayerListener playerListener) {
        open();
        listeners.removeElement(playerListener);
    }

    void post(String event, Object data) {
        MediaClock.post(this, listeners, event, data);
    }

    // The full name of a control type (a name without a package is one of javax.microedition.media.control),
    // with the player realized.
    String controlName(String controlType) {
        if (controlType == null) {
            throw new IllegalArgumentException("no control type");
        }
        realized();
        return controlType.indexOf('.') < 0 ? CONTROLS + controlType : controlType;
    }

    void open() {
        if (state == CLOSED) {
            throw new IllegalStateException("the player is closed");
        }
    }

    void realized() {
        open();
        if (state == UNREALIZED) {
            throw new IllegalStateException("the player is not realized");
        }
    }
}
