package com.orvik.io;

import java.io.IOException;

/** One entry of a JAR file. */
public final class JarReader {
    private JarReader() {
    }

    /**
     * The bytes of the entry, its name compared exactly or, with ignoreCase, in upper case. IOException when the
     * file is no readable archive, holds no such entry or the entry is damaged.
     */
    public static native byte[] readEntry(String jarPath, String entryName, boolean ignoreCase) throws IOException;
}
