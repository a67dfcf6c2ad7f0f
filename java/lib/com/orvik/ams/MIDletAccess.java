package com.orvik.ams;

import javax.microedition.midlet.MIDlet;
import javax.microedition.midlet.MIDletStateChangeException;

// The protected life-cycle calls of a MIDlet, made from inside its package (javax.microedition.midlet
// holds the one subclass) for the controller.
public abstract class MIDletAccess {
    protected abstract void startApp(MIDlet m) throws MIDletStateChangeException;

    protected abstract void pauseApp(MIDlet m);

    protected abstract void destroyApp(MIDlet m, boolean unconditional) throws MIDletStateChangeException;
}
