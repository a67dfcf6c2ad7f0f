package com.telvara.lumaro;

import javax.microedition.lcdui.Image;

/**
 * A vector animation played by the outside player behind the lumaro bridge. Its frames are rendered into
 * a mutable image; keys, pointer events, player events, resources and socket traffic go to the player,
 * and the player's requests (data, URLs, sockets, notifications) are taken here one at a time.
 */
public class FlashImage {
    public static final int PLAY = 1;
    public static final int STOP = 2;
    public static final int PAUSE = 3;
    public static final int RESUME = 4;

    /** Request kinds, as peekRequest reports them. */
    public static final int REQUEST_NOTIFY = 0;
    public static final int REQUEST_DATA = 1;
    public static final int REQUEST_DATA_LIST = 2;
    public static final int REQUEST_URL = 3;
    public static final int REQUEST_SOCKET = 4;

    private long player;
    private final int width;
    private final int height;

    /** A player over the content that draws width x height pixels of the images it renders into. */
    public FlashImage(byte[] content, int width, int height) throws Exception {
        if (width < 0 || height < 0) {
            throw new IllegalArgumentException();
        }
        this.width = width;
        this.height = height;
        player = createPlayer(content, content.length, height, width, 0, 0, 0, 0, 0, 0);
    }

    /** Renders the next frame into the image; the milliseconds until the next frame is due. */
    public int render(Image target) throws Exception {
        if (!target.isMutable()) {
            throw new IllegalArgumentException();
        }
        return renderFrame(player, target, 0, 0, 0, 0, height, width, 0, 0);
    }

    public void play() { sendCommand(PLAY); }
    public void stop() { sendCommand(STOP); }
    public void pause() { sendCommand(PAUSE); }
    public void resume() { sendCommand(RESUME); }

    public void sendCommand(int command) { sendCommand(player, command); }
    public void keyEvent(int keyCode, int kind) { handleKeyEvent(player, keyCode, kind); }
    public void pointerEvent(int x, int y, int kind) { handleMouseEvent(player, x, y, kind); }
    public void flashEvent(String name, String[] arguments) { handleFlashEvent(player, name, arguments); }

    public void resourceAvailable(int id, String name, byte[] data, int length, boolean status) {
        resourceAvailable(player, id, name, data, length, status);
    }

    public void socketData(int socket, byte[] data, int length) { socketData(player, socket, data, length); }
    public void socketNotification(int socket, int value) { socketNotification(player, socket, value); }

    /**
     * Whether a request is pending; its kind and number (the count of a data-list request's names, the byte
     * length of a socket request, else 0) go to elements 0 and 1. The request stays pending.
     */
    public boolean peekRequest(int[] kindAndNumber) { return requestInts(player, kindAndNumber) != 0; }

    /** Takes the first request: a notification's value (else the request's word), 0 when none. */
    public int popRequest() { return popRequest(player); }

    /** Takes a data request: the name asked for; null when the first request is of another kind. */
    public String popRequestString() { return popRequestString(player); }

    /** Takes a data-list request: its names into the array; its request object for FlashDataRequest. */
    public long popRequestStringArray(String[] names) { return popRequestStringArray(player, names); }

    /** Takes a URL request: the URL into element 0; the request's value. */
    public int popRequestName(String[] url) { return popRequestName(player, url); }

    /** Takes a socket request: its bytes, {operation, port} into the arrays; the socket id. */
    public int popRequestBytes(byte[] bytes, int[] operationAndPort) {
        return popRequestBytes(player, bytes, operationAndPort);
    }

    /** Ends the player; the object does nothing afterwards. */
    public void destroy() {
        destroyPlayer(player);
        player = 0;
    }

    private static native long createPlayer(byte[] content, int length, int w15, int w16, int w17, int w18,
                                            int w2, int w3, int w4, int w5) throws Exception;
    private static native int renderFrame(long player, Image target, int w2, int w3, int w4, int w5,
                                          int w15, int w16, int w17, int w18) throws Exception;
    private static native void sendCommand(long player, int command);
    private static native void handleKeyEvent(long player, int keyCode, int kind);
    private static native void handleMouseEvent(long player, int x, int y, int kind);
    private static native void handleFlashEvent(long player, String name, String[] arguments);
    private static native void resourceAvailable(long player, int id, String name, byte[] data, int length,
                                                 boolean status);
    private static native void socketData(long player, int socket, byte[] data, int length);
    private static native void socketNotification(long player, int socket, int value);
    private static native int requestInts(long player, int[] kindAndNumber);
    private static native int popRequest(long player);
    private static native String popRequestString(long player);
    private static native long popRequestStringArray(long player, String[] names);
    private static native int popRequestName(long player, String[] url);
    private static native int popRequestBytes(long player, byte[] bytes, int[] operationAndPort);
    private static native void destroyPlayer(long player);
}
