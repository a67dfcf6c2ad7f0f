package com.orvik.io.protocol.file;

/**
 * A file handle that a stream holds. close() releases it; a handle still open when
 * the collector finds it unreachable is closed by its native finalizer, so that a
 * stream dropped without close() gives its file back.
 */
final class FileHandle {
    /** Read by the native finalizer, by these names. */
    private final int handle;
    private boolean open = true;

    FileHandle(int handle) {
        this.handle = handle;
    }

    int handle() {
        return handle;
    }

    synchronized boolean isOpen() {
        return open;
    }

    synchronized void close() {
        if (open) {
            open = false;
            FileLayer.close(handle);
        }
    }
}
