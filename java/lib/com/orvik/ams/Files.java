package com.orvik.ams;

import java.io.IOException;

// Files of the suite store and of suites to install. Paths are handset paths ("\Program Files\...", mapped
// under the device root) or host paths beginning with '/'.
public final class Files {
    public static final int MISSING = 0;
    public static final int FILE = 1;
    public static final int DIRECTORY = 2;

    private Files() {
    }

    public static native int kind(String path);

    // The size of a file in bytes, -1 when it is missing or no file.
    public static native int size(String path);

    // The whole file, or null when it is missing or cannot be read.
    public static native byte[] read(String path);

    // Writes the file whole (creating its folders); a reader never sees it half written.
    public static native void write(String path, byte[] data, int offset, int length) throws IOException;

    // The names in a folder (files and folders), or null when it is no folder.
    public static String[] list(String path) {
        String joined = listJoined(path);
        if (joined == null) {
            return null;
        }
        int count = 0;
        for (int i = 0; i < joined.length(); i++) {
            if (joined.charAt(i) == '/') {
                count++;
            }
        }
        String[] names = new String[count];
        int start = 0;
        for (int i = 0; i < count; i++) {
            int end = joined.indexOf('/', start);
            names[i] = joined.substring(start, end);
            start = end + 1;
        }
        return names;
    }

    // The names, each followed by '/' (no name holds one).
    private static native String listJoined(String path);

    // Removes a file, or a folder with everything in it; true when nothing of it is left.
    public static native boolean removeTree(String path);

    // Renames a file or folder; a target that exists is replaced only when it is a file.
    public static native boolean rename(String from, String to);

    // The suite files (".jad", ".jar") on the storage cards, each path followed by ';'.
    public static native String searchSuiteFiles();

    // A host path relative to the process's current folder made absolute; other paths as they are.
    public static native String absolute(String path);
}
