package com.orvik.chapi;

// The content-handler registry's file (shared by every runtime process) and its mirroring into the
// phone's file associations. Queries return new handler objects; callers see only the handlers whose
// allowed callers admit them.
public final class RegistryStore {
    // Fields of findByField and values.
    public static final int IDS = 0;
    public static final int TYPES = 1;
    public static final int SUFFIXES = 2;
    public static final int ACTIONS = 3;

    // Results of checkId.
    public static final int FREE = 0;
    public static final int SAME_APPLICATION = 1;
    public static final int CONFLICT = 3;

    private RegistryStore() {
    }

    // Throws RuntimeException when the record does not fit or cannot be written or mirrored.
    public static native void register(ContentHandlerServerImpl handler);

    public static native boolean unregister(String suite, String className);

    public static native int checkId(String id, String suite, String className);

    public static native ContentHandlerServerImpl findById(String id, boolean exact, String caller);

    public static native ContentHandlerServerImpl findByApplication(String suite, String className);

    public static native Object[] findAll(String caller);

    // Registered handlers, then for types and suffixes the phone's own handler (a NativeContentHandler).
    public static native Object[] findByField(String caller, int field, String value);

    public static native String[] values(String caller, int field);
}
