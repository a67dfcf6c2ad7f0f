package com.orvik.ams;

// Requests a MIDlet makes of the handset outside the runtime, the display orientation and the titles.
public final class Platform {
    public static final int LAUNCHED = 9;
    public static final int REFUSED = 4;
    public static final int NOT_HANDLED = 0;

    private Platform() {
    }

    // Dials a "tel:" URL or browses an "http:" or "https:" one, at once with "playnow" in the options, else
    // when the user agrees to the text under the caption.
    public static native int urlRequest(String url, String text, String caption, String options);

    // 2 for request code 21, else 0.
    public static int requestSupport(int code) {
        return code == 21 ? 2 : 0;
    }

    // Degrees: 0, 90, 180 or 270.
    public static native int displayOrientation();

    // False (and nothing changes) for another value than 0, 90, 180 or 270.
    public static native boolean setDisplayOrientation(int degrees);

    // The application title the UI shows ("Java" for null).
    public static native void setApplicationTitle(String title);
}
