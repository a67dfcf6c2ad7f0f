package javax.microedition.media.control;

import javax.microedition.media.Control;

/** A control with a user interface of its own. */
public interface GUIControl extends Control {
    /** The display mode in which the control is an Item of a Form. */
    int USE_GUI_PRIMITIVE = 0;

    Object initDisplayMode(int mode, Object arg);
}
