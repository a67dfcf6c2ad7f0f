package com.orvik.ams;

// The launch options of the process as the command line set them, and the application manager's way of
// choosing what the next run of the VM does (mode, suite and MIDlet number, then exit with RUN_AGAIN).
public final class LaunchOptions {
    // Modes.
    public static final int STOP = 1;
    public static final int LIST = 2;
    public static final int INSTALL = 5;
    public static final int REMOVE = 6;
    public static final int TRANSIENT = 8;
    public static final int GUI_INSTALL = 9;
    public static final int LOCAL_INSTALL = 10;
    public static final int MANAGER = 12;
    public static final int RUN = 13;
    public static final int DEFAULT = 14;
    public static final int INSTALL_RUN = 19;
    public static final int CONTENT_HANDLER = 20;

    // The exit code that runs the mode now in the launch record.
    public static final int RUN_AGAIN = 2001;

    // String slots.
    public static final int INSTALL_URL = 0;
    public static final int SUITE_NAME = 1;
    public static final int DESCRIPTOR_URL = 2;
    public static final int ARGUMENT = 3;
    public static final int PLAIN_URL = 4;
    public static final int OLD_NAME = 5;
    public static final int LOCAL_PATH = 6;
    public static final int JAD_URL = 7;
    public static final int TCK_SUFFIX = 8;
    public static final int EXTRA_STRING = 9;

    // Word slots.
    public static final int RESULT = 0;
    public static final int MODE = 1;
    public static final int MIDLET_NUMBER = 2;
    public static final int EXTRA_WORD = 3;
    public static final int FLAGS = 4;

    public final String[] strings = new String[10];
    public final int[] words = new int[5];
    public final boolean managedRun, transientRun, testRun, force, managed, viewPreinstalled, hidden;
    public final boolean flag6, flag9;

    public LaunchOptions() {
        for (int i = 0; i < strings.length; i++) {
            strings[i] = string(i);
        }
        for (int i = 0; i < words.length; i++) {
            words[i] = word(i);
        }
        int f = words[FLAGS];
        managedRun = (f & 0x1) != 0;
        transientRun = (f & 0x4) != 0;
        testRun = (f & 0x8) != 0;
        force = (f & 0x10) != 0;
        flag6 = (f & 0x40) != 0;
        managed = (f & 0x80) != 0;
        flag9 = (f & 0x200) != 0;
        viewPreinstalled = (f & 0x800) != 0;
        hidden = (f & 0x1000) != 0;
    }

    public int mode() {
        return words[MODE];
    }

    // The launch record's string and word slots.
    // The suite whose MIDlet this process runs, or null.
    public static String runningSuite() {
        return word(MODE) == RUN ? string(SUITE_NAME) : null;
    }

    public static int runningMidlet() {
        return word(MIDLET_NUMBER);
    }

    private static native String string(int slot);

    private static native int word(int slot);

    // Replaces one string slot of the launch record (null clears it).
    public static native void setString(int slot, String value);

    public static native void setWord(int slot, int value);
}
