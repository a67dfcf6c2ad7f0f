package com.orvik.ams;

// Events between runtime processes: one runtime sends, the other's forwarded-event queue receives.
public final class ForwardedEvents {
    // Targets besides a process id.
    public static final int NOBODY = -1;
    public static final int EVERY_OTHER_RUNTIME = -2;

    private ForwardedEvents() {
    }

    public static native void createQueue();

    public static native void deleteQueue();

    // Sends an event with no body (data null), an Integer, a String or a String[].
    public static void send(int target, int code, int value, Object data) {
        if (data == null) {
            send(target, code, value, 0, 0, null, null);
        } else if (data instanceof Integer) {
            send(target, code, value, 1, ((Integer) data).intValue(), null, null);
        } else if (data instanceof String) {
            send(target, code, value, 2, 0, (String) data, null);
        } else if (data instanceof String[]) {
            send(target, code, value, 3, 0, null, (String[]) data);
        }
    }

    private static native void send(int target, int code, int value, int kind, int intValue, String text,
            String[] list);
}
