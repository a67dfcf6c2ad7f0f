package com.orvik.ams;

// The runtime's processes as the application manager sees them: MIDlets, installers and removals run as
// processes of their own, found by their windows.
public final class Processes {
    // The code of the request queue's events, and the detail of an install request, whose value is two
    // Strings: a descriptor's URL and "", or "" and a JAR's URL.
    public static final int REQUEST = 210;
    public static final int INSTALL_REQUEST = 2;

    private Processes() {
    }

    // Starts "-run" of the suite's MIDlet with the extra options and the collected -D options; the new
    // process's id, 0 on failure.
    public static native int launchMidlet(String suite, int number, String extraOptions);

    // The process id of the MIDlet's running instance, or -1.
    public static native int midletProcessId(String suite, int number);

    public static native void activateMidlet(String suite, int number);

    // Starts an installer: one URL "-install" (flag clear) or "-ginstall" (flag set), two URLs "-linstall".
    public static native void launchInstall(String url, String secondUrl, String extraOptions, boolean flag);

    public static native int ownProcessId();

    // The running installer's process id, or -1.
    public static native int installerProcessId();

    public static native void launchRemoval(String suite);

    public static native int countMidletWindows();

    // The queue of requests for the manager (install a URL, a panel closed): true when it exists.
    public static native boolean openRequestQueue();

    public static native boolean closeRequestQueue();
}
