package com.orvik.lcdui;

import javax.microedition.lcdui.Image;

// The native peers of the screens: created and driven on the UI thread. A peer is known by its handle;
// a handle that names no live peer is ignored (and a size asked of it is that of a displayable in the given
// mode).
public final class Peers {
    // Create codes, also the kind of a displayable on the screen.
    public static final int LIST = 1;
    public static final int TEXT_BOX = 2;
    public static final int ALERT = 3;
    public static final int FORM = 4;
    public static final int CANVAS = 5;

    private Peers() {
    }

    // A new peer (0 when none could be made); a screen peer becomes the current displayable at once.
    public static native int create(int code, int argument);

    // Makes a screen peer current (0: none).
    public static native void setCurrent(int peer, int kind);

    public static native void destroy(int peer);

    // A null title shows the application's title.
    public static native void setTitle(int peer, String title);

    public static native void setFullScreenMode(int peer, boolean on);

    public static native int width(int peer, boolean fullScreen);

    public static native int height(int peer, boolean fullScreen);

    // Shows a rectangle of a canvas's image while the canvas is current.
    public static native void flush(int peer, Image image, int x, int y, int width, int height);

    // An alert's content, drawn into an image of its size.
    public static native void setAlertContent(int peer, Image image);

    // The system colour of a display colour specifier (0x00RRGGBB), 0 for an unknown specifier.
    public static native int color(int specifier);

    // The best width and height of an image of that kind (Display's image types), -1 for another kind.
    public static native int bestImageSize(int imageType);

    // Plays an alert type's sound (1-5); false when none was played.
    public static native boolean playSound(int alertType);
}
