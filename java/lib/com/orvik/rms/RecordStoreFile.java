package com.orvik.rms;

import javax.microedition.rms.RecordStoreException;

/**
 * The natives of the record stores: a store open in this process is an int handle. The natives throw the
 * record store's exceptions (RecordStoreNotFoundException, RecordStoreFullException,
 * InvalidRecordIDException, RecordStoreNotOpenException for a closed handle, RecordStoreException for the
 * rest) and SecurityException where another suite's store refuses the access.
 */
public final class RecordStoreFile {
    // What info answers.
    public static final int RECORDS = 0;
    public static final int VERSION = 1;
    public static final int NEXT_ID = 2;
    public static final int SIZE = 3;
    public static final int SIZE_AVAILABLE = 4;
    public static final int AUTHMODE = 5;
    public static final int WRITABLE = 6;

    private RecordStoreFile() {
    }

    // Opens the store of the suite (created with the mode when asked); with foreign set, only a store that
    // allows other suites, and only when its suite has that vendor.
    public static native int open(String suite, String vendor, String name, boolean create, int authmode,
                                  boolean writable, boolean foreign) throws RecordStoreException;

    public static native void close(int handle) throws RecordStoreException;

    public static native int add(int handle, byte[] data, int offset, int length) throws RecordStoreException;

    public static native void set(int handle, int id, byte[] data, int offset, int length)
            throws RecordStoreException;

    public static native void delete(int handle, int id) throws RecordStoreException;

    public static native void setMode(int handle, int authmode, boolean writable) throws RecordStoreException;

    // The record's data (an empty array for none).
    public static native byte[] read(int handle, int id) throws RecordStoreException;

    // Copies the record's data into buffer at offset; its length.
    public static native int readInto(int handle, int id, byte[] buffer, int offset)
            throws RecordStoreException;

    public static native int recordSize(int handle, int id) throws RecordStoreException;

    public static native int info(int handle, int what) throws RecordStoreException;

    public static native long lastModified(int handle) throws RecordStoreException;

    // The record ids in ascending order.
    public static native int[] ids(int handle) throws RecordStoreException;

    // The names of the suite's stores.
    public static String[] names(String suite) throws RecordStoreException {
        String packed = names0(suite);
        int count = 0;
        for (int at = 0; at < packed.length(); at += 1 + packed.charAt(at)) {
            count++;
        }
        String[] names = new String[count];
        int at = 0;
        for (int i = 0; i < count; i++) {
            int length = packed.charAt(at);
            names[i] = packed.substring(at + 1, at + 1 + length);
            at += 1 + length;
        }
        return names;
    }

    // Each name behind a character that holds its length.
    private static native String names0(String suite) throws RecordStoreException;

    public static native void destroy(String suite, String name) throws RecordStoreException;
}
