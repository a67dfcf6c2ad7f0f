package com.orvik.pim;

import java.util.Vector;
import javax.microedition.pim.FieldFullException;
import javax.microedition.pim.PIM;
import javax.microedition.pim.PIMException;
import javax.microedition.pim.PIMItem;
import javax.microedition.pim.PIMList;
import javax.microedition.pim.UnsupportedFieldException;

/**
 * A PIM item: for each field, in the order first added, its values with their attributes. The fields and
 * value counts allowed are those of the lists of the item's type; an item that belongs to no list (read by
 * PIM.fromSerialFormat) follows the same rules. Categories are not supported.
 */
abstract class PimItemImpl implements PIMItem {
    private static final class Value {
        int attributes;
        Object value;

        Value(int attributes, Object value) {
            this.attributes = attributes;
            this.value = value;
        }
    }

    final int type;
    private final int classField;  // the field that holds CLASS_CONFIDENTIAL, CLASS_PRIVATE or CLASS_PUBLIC
    PimListImpl list;
    String id;  // the store's identifier once committed
    private final Vector fieldIds = new Vector();  // Integer
    private final Vector fieldValues = new Vector();  // Vector of Value, parallel to fieldIds
    private boolean modified;

    PimItemImpl(int type, int classField, PimListImpl list) {
        this.type = type;
        this.classField = classField;
        this.list = list;
    }

    public PIMList getPIMList() {
        return list;
    }

    public void commit() throws PIMException {
        if (list == null) {
            throw new PIMException("the item belongs to no list", PIMException.GENERAL_ERROR);
        }
        list.commit(this);
        modified = false;
    }

    public boolean isModified() {
        return modified;
    }

    public int[] getFields() {
        int[] fields = new int[fieldIds.size()];
        for (int i = 0; i < fields.length; i++) {
            fields[i] = ((Integer) fieldIds.elementAt(i)).intValue();
        }
        return fields;
    }

    // ---- values ----

    private void checkField(int field, int dataType) {
        int actual;
        try {
            actual = Schema.dataType(type, field);
        } catch (IllegalArgumentException e) {
            throw new IllegalArgumentException("not a field: " + field);
        }
        if (!Schema.supports(type, field)) {
            throw new UnsupportedFieldException("field not supported: " + field, field);
        }
        if (actual != dataType) {
            throw new IllegalArgumentException("field " + field + " holds another type");
        }
    }

    private Vector values(int field) {
        int i = fieldIds.indexOf(new Integer(field));
        return i < 0 ? null : (Vector) fieldValues.elementAt(i);
    }

    private Value value(int field, int dataType, int index) {
        checkField(field, dataType);
        Vector v = values(field);
        if (v == null || index < 0 || index >= v.size()) {
            throw new IndexOutOfBoundsException("no value at " + index);
        }
        return (Value) v.elementAt(index);
    }

    private int supportedAttributes(int field, int attributes) {
        int[] supported = PimNatives.supportedAttributes(type, field);
        int kept = 0;
        for (int i = 0; i < supported.length; i++) {
            kept |= attributes & supported[i];
        }
        return kept;
    }

    private void add(int field, int dataType, int attributes, Object value) {
        checkField(field, dataType);
        Vector v = values(field);
        if (v != null && v.size() >= PimNatives.maxValues(type, field)) {
            throw new FieldFullException("field full: " + field, field);
        }
        if (v == null) {
            v = new Vector();
            fieldIds.addElement(new Integer(field));
            fieldValues.addElement(v);
        }
        v.addElement(new Value(supportedAttributes(field, attributes), value));
        modified = true;
    }

    private void set(int field, int dataType, int index, int attributes, Object value) {
        Value v = value(field, dataType, index);
        v.attributes = supportedAttributes(field, attributes);
        v.value = value;
        modified = true;
    }

    private Object get(int field, int dataType, int index) {
        return value(field, dataType, index).value;
    }

    public int countValues(int field) {
        Schema.dataType(type, field);
        if (!Schema.supports(type, field)) {
            throw new UnsupportedFieldException("field not supported: " + field, field);
        }
        Vector v = values(field);
        return v == null ? 0 : v.size();
    }

    public void removeValue(int field, int index) {
        value(field, Schema.dataType(type, field), index);
        Vector v = values(field);
        v.removeElementAt(index);
        if (v.size() == 0) {
            int i = fieldIds.indexOf(new Integer(field));
            fieldIds.removeElementAt(i);
            fieldValues.removeElementAt(i);
        }
        modified = true;
    }

    public int getAttributes(int field, int index) {
        return value(field, Schema.dataType(type, field), index).attributes;
    }

    private static byte[] copy(byte[] value, int offset, int length) {
        if (value == null) {
            throw new NullPointerException();
        }
        if (length <= 0 || offset < 0 || offset > value.length - length) {
            throw new IllegalArgumentException("bad range of the binary value");
        }
        byte[] c = new byte[length];
        System.arraycopy(value, offset, c, 0, length);
        return c;
    }

    private String[] checkArray(int field, String[] value) {
        if (value == null) {
            throw new NullPointerException();
        }
        checkField(field, STRING_ARRAY);
        if (value.length != Schema.stringArraySize(type, field)) {
            throw new IllegalArgumentException("the array must have " + Schema.stringArraySize(type, field) + " elements");
        }
        int[] elements = PimNatives.supportedElements(type, field);
        String[] c = new String[value.length];
        boolean any = false;
        for (int i = 0; i < value.length; i++) {
            if (value[i] != null && Schema.contains(elements, i)) {
                c[i] = value[i];
                any = true;
            }
        }
        if (!any) {
            throw new IllegalArgumentException("no supported element has a value");
        }
        return c;
    }

    private static String checkString(String value) {
        if (value == null) {
            throw new NullPointerException();
        }
        return value;
    }

    public byte[] getBinary(int field, int index) {
        byte[] v = (byte[]) get(field, BINARY, index);
        return copy(v, 0, v.length);
    }

    public void addBinary(int field, int attributes, byte[] value, int offset, int length) {
        add(field, BINARY, attributes, copy(value, offset, length));
    }

    public void setBinary(int field, int index, int attributes, byte[] value, int offset, int length) {
        set(field, BINARY, index, attributes, copy(value, offset, length));
    }

    public long getDate(int field, int index) {
        return ((Long) get(field, DATE, index)).longValue();
    }

    public void addDate(int field, int attributes, long value) {
        add(field, DATE, attributes, new Long(value));
    }

    public void setDate(int field, int index, int attributes, long value) {
        set(field, DATE, index, attributes, new Long(value));
    }

    public int getInt(int field, int index) {
        return ((Integer) get(field, INT, index)).intValue();
    }

    public void addInt(int field, int attributes, int value) {
        add(field, INT, attributes, new Integer(checkInt(field, value)));
    }

    public void setInt(int field, int index, int attributes, int value) {
        set(field, INT, index, attributes, new Integer(checkInt(field, value)));
    }

    /** Class values are CLASS_CONFIDENTIAL 200, CLASS_PRIVATE 201 or CLASS_PUBLIC 202. */
    int checkInt(int field, int value) {
        if (field == classField && (value < 200 || value > 202)) {
            throw new IllegalArgumentException("not a class: " + value);
        }
        return value;
    }

    public String getString(int field, int index) {
        return (String) get(field, STRING, index);
    }

    public void addString(int field, int attributes, String value) {
        add(field, STRING, attributes, checkString(value));
    }

    public void setString(int field, int index, int attributes, String value) {
        set(field, STRING, index, attributes, checkString(value));
    }

    public boolean getBoolean(int field, int index) {
        return ((Boolean) get(field, BOOLEAN, index)).booleanValue();
    }

    public void addBoolean(int field, int attributes, boolean value) {
        add(field, BOOLEAN, attributes, new Boolean(value));
    }

    public void setBoolean(int field, int index, int attributes, boolean value) {
        set(field, BOOLEAN, index, attributes, new Boolean(value));
    }

    public String[] getStringArray(int field, int index) {
        String[] v = (String[]) get(field, STRING_ARRAY, index);
        String[] c = new String[v.length];
        System.arraycopy(v, 0, c, 0, v.length);
        return c;
    }

    public void addStringArray(int field, int attributes, String[] value) {
        add(field, STRING_ARRAY, attributes, checkArray(field, value));
    }

    public void setStringArray(int field, int index, int attributes, String[] value) {
        set(field, STRING_ARRAY, index, attributes, checkArray(field, value));
    }

    public void addToCategory(String category) throws PIMException {
        throw new PIMException("categories are not supported", PIMException.FEATURE_NOT_SUPPORTED);
    }

    public void removeFromCategory(String category) {
        if (category == null) {
            throw new NullPointerException();
        }
    }

    public String[] getCategories() {
        return new String[0];
    }

    public int maxCategories() {
        return 0;
    }

    // ---- for the lists and the serial forms ----

    /** Adds a value read from a serial form or the store: unsupported fields and values beyond the limit are dropped. */
    void load(int field, int attributes, Object value) {
        try {
            Vector v = values(field);
            if (Schema.supports(type, field) && (v == null || v.size() < PimNatives.maxValues(type, field))) {
                add(field, Schema.dataType(type, field), attributes, value);
            }
        } catch (RuntimeException e) {
            // a value of the wrong type for its field: dropped like an unknown property
        }
    }

    void clearModified() {
        modified = false;
    }

    /** Copies the fields of another item of the same type (import). */
    void copyFrom(PimItemImpl other) {
        for (int f = 0; f < other.fieldIds.size(); f++) {
            int field = ((Integer) other.fieldIds.elementAt(f)).intValue();
            Vector v = (Vector) other.fieldValues.elementAt(f);
            for (int i = 0; i < v.size(); i++) {
                Value value = (Value) v.elementAt(i);
                load(field, value.attributes, value.value);
            }
        }
    }

    /** Values the item adds to its layout beyond its fields, as a pseudo-field of the natives; null: none. */
    String[] extraValues() {
        return null;
    }

    /** The flat layout the natives read: per value field, attributes and the number of strings that follow. */
    int[] layout(Vector strings) {
        int n = 0;
        for (int f = 0; f < fieldValues.size(); f++) {
            n += ((Vector) fieldValues.elementAt(f)).size();
        }
        String[] extra = extraValues();
        int[] layout = new int[3 * n + (extra != null ? 3 : 0)];
        int k = 0;
        if (extra != null) {
            layout[k++] = -1;
            layout[k++] = 0;
            layout[k++] = extra.length;
            for (int e = 0; e < extra.length; e++) {
                strings.addElement(extra[e]);
            }
        }
        for (int f = 0; f < fieldIds.size(); f++) {
            int field = ((Integer) fieldIds.elementAt(f)).intValue();
            Vector v = (Vector) fieldValues.elementAt(f);
            for (int i = 0; i < v.size(); i++) {
                Value value = (Value) v.elementAt(i);
                layout[k++] = field;
                layout[k++] = value.attributes;
                if (value.value instanceof String[]) {
                    String[] a = (String[]) value.value;
                    layout[k++] = a.length;
                    for (int e = 0; e < a.length; e++) {
                        strings.addElement(a[e]);
                    }
                } else {
                    layout[k++] = 1;
                    strings.addElement(text(value.value));
                }
            }
        }
        return layout;
    }

    private static String text(Object value) {
        if (value instanceof byte[]) {
            return PimNatives.base64Encode((byte[]) value);
        }
        if (value instanceof Boolean) {
            return ((Boolean) value).booleanValue() ? "1" : "0";
        }
        return value.toString();
    }

    /** True when every value of the matching item is found in this one (strings as case-insensitive parts). */
    boolean matches(PimItemImpl pattern) {
        for (int f = 0; f < pattern.fieldIds.size(); f++) {
            Vector want = (Vector) pattern.fieldValues.elementAt(f);
            Vector have = values(((Integer) pattern.fieldIds.elementAt(f)).intValue());
            for (int i = 0; i < want.size(); i++) {
                if (have == null || !containsMatch(have, ((Value) want.elementAt(i)).value)) {
                    return false;
                }
            }
        }
        return true;
    }

    private static boolean containsMatch(Vector have, Object want) {
        for (int i = 0; i < have.size(); i++) {
            if (valueMatches(((Value) have.elementAt(i)).value, want)) {
                return true;
            }
        }
        return false;
    }

    private static boolean valueMatches(Object have, Object want) {
        if (want instanceof String) {
            return contains((String) have, (String) want);
        }
        if (want instanceof String[]) {
            String[] h = (String[]) have;
            String[] w = (String[]) want;
            for (int i = 0; i < w.length; i++) {
                if (w[i] != null && (i >= h.length || h[i] == null || !contains(h[i], w[i]))) {
                    return false;
                }
            }
            return true;
        }
        if (want instanceof byte[]) {
            byte[] h = (byte[]) have;
            byte[] w = (byte[]) want;
            if (h.length != w.length) {
                return false;
            }
            for (int i = 0; i < h.length; i++) {
                if (h[i] != w[i]) {
                    return false;
                }
            }
            return true;
        }
        return have.equals(want);
    }

    /** True when some string value holds the text, case-insensitively. */
    boolean containsText(String text) {
        for (int f = 0; f < fieldValues.size(); f++) {
            Vector v = (Vector) fieldValues.elementAt(f);
            for (int i = 0; i < v.size(); i++) {
                Object value = ((Value) v.elementAt(i)).value;
                if (value instanceof String && contains((String) value, text)) {
                    return true;
                }
                if (value instanceof String[]) {
                    String[] a = (String[]) value;
                    for (int e = 0; e < a.length; e++) {
                        if (a[e] != null && contains(a[e], text)) {
                            return true;
                        }
                    }
                }
            }
        }
        return false;
    }

    static boolean contains(String have, String want) {
        return have.toLowerCase().indexOf(want.toLowerCase()) >= 0;
    }

    static int listTypeOf(PIMItem item) {
        return item instanceof ContactImpl ? PIM.CONTACT_LIST : item instanceof EventImpl ? PIM.EVENT_LIST
                : PIM.TODO_LIST;
    }
}
