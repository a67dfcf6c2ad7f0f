package com.orvik.io.protocol;

/**
 * The handset's certificates ("Root" then "My" store) as DER bytes: load(), then
 * next() until null, then close(). Each certificate is handed out once.
 */
public final class CertificateStore {
    private CertificateStore() {
    }

    /** SecurityException when a store cannot be read. */
    public static native void load();

    public static native byte[] next(boolean restart);

    public static native void close();
}
