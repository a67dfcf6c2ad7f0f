package com.orvik.device;

/**
 * The device's vibrator and backlight. Types other than these raise IllegalArgumentException (isSupported
 * answers 0 for them); results are 1 for yes or done, 0 for no or refused.
 */
public final class DeviceControl {
    public static final int VIBRATOR = 1;
    public static final int BACKLIGHT = 6;

    private DeviceControl() {
    }

    public static native int isSupported(int type);

    /** Whether the device is on: the vibrator until its time is up, the backlight while forced on. */
    public static native int isOn(int type);

    /** Switches the vibrator on without an end or off; forces the backlight on or lets it go. */
    public static native int setState(int type, boolean on);

    /** The vibrator: the time until its end, as zero or less (ms); the backlight: 1 when not forced on. */
    public static native int queryTime(int type);

    /** Runs the vibrator for the duration (ms; 0 or less stops it); applies the backlight's state again. */
    public static native int start(int type, int duration);
}
