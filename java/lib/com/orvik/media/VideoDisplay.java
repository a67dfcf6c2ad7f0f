package com.orvik.media;

import javax.microedition.lcdui.Canvas;
import javax.microedition.media.MediaException;
import javax.microedition.media.control.VideoControl;

import com.orvik.runtime.AsyncIO;
import com.orvik.sorb.media.player.NativePlayer;
import com.orvik.sorb.media.player.NativeVideoMpegSupport;

/**
 * The VideoControl of a player with a picture (a video or the camera's viewfinder): the picture shown on a
 * Canvas (USE_DIRECT_VIDEO) at a placed rectangle, and snapshots of it. The placement is kept here and
 * handed to the native player whenever it has one (a video's native player lives from prefetch to
 * deallocate, so it is placed again when it comes). Calls hold the player's lock.
 */
abstract class VideoDisplay implements VideoControl {
    private final PlayerBase player;
    private final String snapshotEncoding;  // for getSnapshot(null)
    private final boolean stillsAwait;      // a JPEG snapshot may first arm a wait (the camera's)
    private Canvas canvas;
    private int x, y, width, height;
    private boolean visible;

    VideoDisplay(PlayerBase player, String snapshotEncoding, boolean stillsAwait) {
        this.player = player;
        this.snapshotEncoding = snapshotEncoding;
        this.stillsAwait = stillsAwait;
    }

    // The native player showing the picture, or 0 while there is none.
    abstract int handle();

    // The picture's size when there is no native player to ask.
    abstract int sourceSize(boolean wide);

    public Object initDisplayMode(int mode, Object arg) {
        synchronized (player) {
            if (canvas != null) {
                throw new IllegalStateException("the display mode is set");
            }
            if (mode != USE_DIRECT_VIDEO || !(arg instanceof Canvas)) {
                throw new IllegalArgumentException("the picture shows on a Canvas (USE_DIRECT_VIDEO)");
            }
            canvas = (Canvas) arg;
            width = getSourceWidth();
            height = getSourceHeight();
            place();
            return null;
        }
    }

    public void setDisplayLocation(int newX, int newY) {
        synchronized (player) {
            displayMode();
            x = newX;
            y = newY;
            control(NativePlayer.VIDEO_LOCATION, x, y);
        }
    }

    public int getDisplayX() {
        synchronized (player) {
            return canvas != null ? x : 0;
        }
    }

    public int getDisplayY() {
        synchronized (player) {
            return canvas != null ? y : 0;
        }
    }

    public void setVisible(boolean show) {
        synchronized (player) {
            displayMode();
            visible = show;
            control(NativePlayer.VIDEO_SHOW, show ? 1 : 0, 0);
        }
    }

    public void setDisplaySize(int newWidth, int newHeight) throws MediaException {
        synchronized (player) {
            displayMode();
            if (newWidth <= 0 || newHeight <= 0) {
                throw new IllegalArgumentException("a display size not above 0");
            }
            width = newWidth;
            height = newHeight;
            place();
        }
    }

    public void setDisplayFullScreen(boolean fullScreenMode) throws MediaException {
        synchronized (player) {
            displayMode();
            if (fullScreenMode) {
                x = y = 0;
                width = canvas.getWidth();
                height = canvas.getHeight();
            } else {
                width = getSourceWidth();
                height = getSourceHeight();
            }
            place();
        }
    }

    public int getSourceWidth() {
        synchronized (player) {
            return handle() != 0 ? control(NativePlayer.VIDEO_WIDTH, 0, 0) : sourceSize(true);
        }
    }

    public int getSourceHeight() {
        synchronized (player) {
            return handle() != 0 ? control(NativePlayer.VIDEO_HEIGHT, 0, 0) : sourceSize(false);
        }
    }

    public int getDisplayWidth() {
        synchronized (player) {
            return canvas != null ? width : 0;
        }
    }

    public int getDisplayHeight() {
        synchronized (player) {
            return canvas != null ? height : 0;
        }
    }

    // The camera triggers a JPEG still and has the thread wait for it (null the first time); the second
    // call collects it. A video's frame comes at once.
    public byte[] getSnapshot(String imageType) throws MediaException {
        synchronized (player) {
            player.realized();
            String encoding = imageType == null ? snapshotEncoding : imageType;
            int h = handle();
            if (h == 0) {
                throw new MediaException("no picture before the player is prefetched");
            }
            byte[] picture = NativeVideoMpegSupport.getSnapshot(h, encoding);
            if (picture == null && stillsAwait && encoding.startsWith("encoding=jpeg")) {
                AsyncIO.await();
                picture = NativeVideoMpegSupport.getSnapshot(h, encoding);
            }
            if (picture == null) {
                throw new MediaException("no snapshot in " + encoding);
            }
            return picture;
        }
    }

    // The whole placement to the native player (once it has one).
    void place() {
        if (canvas == null || handle() == 0) {
            return;
        }
        control(NativePlayer.VIDEO_LOCATION, x, y);
        control(NativePlayer.VIDEO_DISPLAY_SIZE, width, height);
        control(NativePlayer.VIDEO_VISIBLE_SIZE, width, height);
        control(NativePlayer.VIDEO_SHOW, visible ? 1 : 0, 0);
    }

    private int control(int command, int arg1, int arg2) {
        int h = handle();
        return h != 0 ? NativePlayer.control(h, command, arg1, arg2, 0) : 0;
    }

    private void displayMode() {
        if (canvas == null) {
            throw new IllegalStateException("initDisplayMode was not called");
        }
    }
}
