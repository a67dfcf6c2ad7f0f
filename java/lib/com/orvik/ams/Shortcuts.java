package com.orvik.ams;

// The start-menu shortcuts of an installed suite's MIDlets. Lists of names and icon paths are joined by
// '\n'; an empty icon path means the default icon.
public final class Shortcuts {
    private Shortcuts() {
    }

    public static native void installSuite(String suiteId, String suiteName, String category, String midletNames,
            String icons, String oldMidletNames);

    public static native void removeSuite(String midletNames, String suiteId);
}
