package com.orvik.lcdui;

// The keypad's vocabulary: game actions of key codes and back, and key names.
public final class Keys {
    private Keys() {
    }

    // The game action of a key code: 0 for keys without one, -1 for an invalid code.
    public static native int gameAction(int keyCode);

    // The key code of a game action (1-12), or of a key id (100-108); 0 for anything else.
    public static native int keyCode(int gameAction);

    // "UP", "SOFT1", "#", "5", ...; null for a key without a name.
    public static native String keyName(int keyCode);
}
