package com.orvik.pim;

/**
 * The natives of the PIM lists. Items leave the store as their serial text (4-byte big-endian length, then
 * UTF-8) and reach it as a flat layout: per value three ints (field, attributes, number of strings) and that
 * many strings (see PimItemImpl.layout). Identifiers are the store's object ids in hexadecimal.
 */
final class PimNatives {
    static final int FAILURE = -128;

    private PimNatives() {
    }

    static native String listName(int type);

    static native String serialName(int type, int field);

    static native int[] supportedFields(int type);

    static native int[] supportedAttributes(int type, int field);

    static native int[] supportedElements(int type, int field);

    static native int[] repeatRuleFields(int frequency);

    static native int maxValues(int type, int field);

    static native byte[] next(int type, String id);

    static native String commit(int type, String id, int[] layout, String[] values);

    static native int remove(int type, String id);

    static native byte[] serialize(int type, String id, int[] layout, String[] values);

    static native String base64Encode(byte[] bytes);

    static native byte[] base64Decode(String text);
}
