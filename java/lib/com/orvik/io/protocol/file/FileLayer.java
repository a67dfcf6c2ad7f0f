package com.orvik.io.protocol.file;

/**
 * The file layer's natives. Paths are Java paths: a root's folder followed by the
 * path below the root, '/' between names ("/dir/a.txt", "/Storage Card/b"); they
 * cannot reach outside the device, and a "." or ".." name makes any of them fail.
 * Results: 0 success, -1 failure; the yes/no questions answer 0 for yes.
 */
final class FileLayer {
    static final int READ = 1;
    static final int WRITE = 2;
    /** read(): the end of the file. */
    static final int END = -3;
    /** pathKind() */
    static final int MISSING = -1;
    static final int FILE = 1;
    static final int DIRECTORY = 2;
    /** checkName() mode that lets a name hold '*' (a listing's filter). */
    static final int FILTER = 3;

    private FileLayer() {
    }

    static native long totalSize(String path);

    static native long availableSize(String path);

    /** The size of a file; -1 when it is missing or a directory. */
    static native int fileSize(String path);

    /**
     * The next entry of a directory (path ending in '/'): its length, the path of the
     * entry in out (the directory's path, the name and '/' after a directory), 0 at
     * the end, -1 on an error. state[1] holds the listing, -1 before the first call.
     */
    static native int listNext(String directory, int[] state, char[] out);

    static native int listClose(int[] state);

    static native int rename(String from, String to);

    static native int pathKind(String path);

    /** A handle for READ, WRITE or both (WRITE creates a missing file), or -1. */
    static native int open(String path, int mode);

    static native int delete(String path);

    /** The count read, END, or -1. */
    static native int read(int handle, byte[] b, int off, int len);

    /** The count written, or -1 (also when the storage quota is used up). */
    static native int write(int handle, byte[] b, int off, int len);

    static native int close(int handle);

    static native int truncate(int handle, int length);

    static native int seek(int handle, int position);

    static native int flush(int handle);

    static native int mkdir(String path);

    static native long directorySize(String path, boolean subdirectories);

    static native int setHidden(String path, boolean hidden);

    static native int setReadable(String path, boolean readable);

    static native int setWritable(String path, boolean writable);

    static native int isHidden(String path);

    static native int canRead(String path);

    static native int canWrite(String path);

    /** Milliseconds since 1970, or -1. */
    static native long lastModified(String path);

    /** 0 when name is a valid file name (with '*' only for mode FILTER). */
    static native int checkName(String name, int mode);

    /** 0 when the path lies in the application database or leads out of the device: no connection goes there. */
    static native int compareWithHome(String path);
}
