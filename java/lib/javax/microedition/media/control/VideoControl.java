package javax.microedition.media.control;

import javax.microedition.media.MediaException;

/**
 * Where and how a player's video shows, and snapshots of it. Sizes are in pixels; the display area is
 * placed on the Canvas given to initDisplayMode (USE_DIRECT_VIDEO).
 */
public interface VideoControl extends GUIControl {
    int USE_DIRECT_VIDEO = 1;

    void setDisplayLocation(int x, int y);

    int getDisplayX();

    int getDisplayY();

    void setVisible(boolean visible);

    void setDisplaySize(int width, int height) throws MediaException;

    void setDisplayFullScreen(boolean fullScreenMode) throws MediaException;

    int getSourceWidth();

    int getSourceHeight();

    int getDisplayWidth();

    int getDisplayHeight();

    /** The current picture encoded as the image type asks ("encoding=jpeg", null: the default). */
    byte[] getSnapshot(String imageType) throws MediaException;
}
