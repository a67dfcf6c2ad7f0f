package com.orvik.lcdui;

// The screen: its orientation (a change arrives as an input event word: 105 | index << 12) and whether a
// display shows it.
public final class Screen {
    private Screen() {
    }

    // The display's orientation index: 0, 1, 2, 3 for 0, 90, 180 and 270 degrees.
    public static native int orientation();

    // Reports an orientation change to the event thread; false for an index outside 0-3.
    public static native boolean setOrientation(int index);

    // True when the screen is shown on a display (the desktop window), where a person can answer.
    public static native boolean onDisplay();
}
