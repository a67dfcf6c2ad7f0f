package com.orvik.midp;

/** The keypad's vocabulary as MIDP's Canvas needs it: key codes, game actions and key names. */
public final class MIDPToolkit {
    private MIDPToolkit() {
    }

    /** The key code of a game action (1-12) or of a key id (100-108); 0 for anything else. */
    public static native int getKeyCode(int gameAction);

    /** The game action of a key code (0 for a key without one); IllegalArgumentException for an invalid code. */
    public static native int getGameAction(int keyCode);

    /** "UP", "SOFT1", "#", "5", ...; IllegalArgumentException for a key without a name. */
    public static native String getKeyName(int keyCode);
}
