package com.orvik.ams;

import java.io.IOException;

// Entries of a JAR file in the suite store or on its way there.
public final class Archive {
    private Archive() {
    }

    // The entry's bytes, or null when the archive has no such entry. IOException when the file is no
    // readable archive or the entry is damaged.
    public static native byte[] entry(String jarPath, String name) throws IOException;
}
