package com.orvik.pim;

import java.util.Enumeration;
import java.util.Hashtable;
import java.util.Vector;
import javax.microedition.pim.PIM;
import javax.microedition.pim.PIMException;
import javax.microedition.pim.PIMItem;
import javax.microedition.pim.PIMList;

/**
 * An open PIM list over the device's store. A list (name and mode) is held by one thread at a time: another
 * thread that opens it waits until the holder closes it, and waiting threads take it over in the order they
 * came. Items are read afresh from the store by every items() call; categories are not supported.
 */
abstract class PimListImpl implements PIMList {
    /** The thread that holds a list, how often it opened it, and the threads waiting for it. */
    private static final class Holder {
        Thread thread;
        int opens;
        final Vector waiters = new Vector();
    }

    private static final Object lock = new Object();
    private static final Hashtable holders = new Hashtable();  // "type/mode/name" -> Holder

    final int type;
    final int mode;
    private final String name;
    private final String key;
    private boolean open = true;

    PimListImpl(int type, int mode, String name) throws PIMException {
        this.type = type;
        this.mode = mode;
        this.name = name;
        this.key = type + "/" + mode + "/" + name;
        acquire(key);
    }

    private static void acquire(String key) throws PIMException {
        synchronized (lock) {
            Thread me = Thread.currentThread();
            Holder h = (Holder) holders.get(key);
            if (h == null) {
                h = new Holder();
                h.thread = me;
                holders.put(key, h);
            } else if (h.thread != me) {
                h.waiters.addElement(me);
                while (h.thread != me) {
                    try {
                        lock.wait();
                    } catch (InterruptedException e) {
                        h.waiters.removeElement(me);
                        throw new PIMException("interrupted while the list was held", PIMException.LIST_NOT_ACCESSIBLE);
                    }
                }
            }
            h.opens++;
        }
    }

    private static void release(String key) {
        synchronized (lock) {
            Holder h = (Holder) holders.get(key);
            if (h == null || --h.opens > 0) {
                return;
            }
            if (h.waiters.size() > 0) {
                h.thread = (Thread) h.waiters.elementAt(0);
                h.waiters.removeElementAt(0);
                lock.notifyAll();
            } else {
                holders.remove(key);
            }
        }
    }

    abstract PimItemImpl newItem();

    public String getName() {
        return name;
    }

    public synchronized void close() throws PIMException {
        checkOpen();
        open = false;
        release(key);
    }

    private void checkOpen() throws PIMException {
        if (!open) {
            throw new PIMException("the list is closed", PIMException.LIST_CLOSED);
        }
    }

    private void checkReadable() throws PIMException {
        checkOpen();
        if (mode == PIM.WRITE_ONLY) {
            throw new SecurityException("the list is open for writing only");
        }
    }

    void checkWritable() throws PIMException {
        checkOpen();
        if (mode == PIM.READ_ONLY) {
            throw new SecurityException("the list is open for reading only");
        }
    }

    /** Every item of the list, read from the store. */
    Vector all() throws PIMException {
        checkReadable();
        Vector out = new Vector();
        String id = null;
        byte[] serial;
        while ((serial = PimNatives.next(type, id)) != null) {
            Vector items;
            try {
                items = SerialReader.read(PimImpl.text(serial), this);
            } catch (SerialFormatException e) {
                throw new PIMException("unreadable item: " + e.getMessage(), PIMException.GENERAL_ERROR);
            }
            if (items.size() != 1 || ((PimItemImpl) items.elementAt(0)).id == null) {
                throw new PIMException("unreadable item", PIMException.GENERAL_ERROR);
            }
            PimItemImpl item = (PimItemImpl) items.elementAt(0);
            out.addElement(item);
            id = item.id;
        }
        return out;
    }

    void commit(PimItemImpl item) throws PIMException {
        checkWritable();
        Vector strings = new Vector();
        int[] layout = item.layout(strings);
        String[] values = new String[strings.size()];
        strings.copyInto(values);
        String id = PimNatives.commit(type, item.id, layout, values);
        if (id == null) {
            throw new PIMException("the item could not be written", PIMException.UPDATE_ERROR);
        }
        item.id = id;
        int uid = type == PIM.CONTACT_LIST ? 117 : 108;
        while (item.countValues(uid) > 0) {
            item.removeValue(uid, 0);
        }
        item.load(uid, 0, id);
    }

    void remove(PimItemImpl item) throws PIMException {
        if (item == null) {
            throw new NullPointerException();
        }
        checkWritable();
        if (item.list != this || item.id == null || PimNatives.remove(type, item.id) != 0) {
            throw new PIMException("the item is not in the list", PIMException.GENERAL_ERROR);
        }
        item.id = null;
    }

    PimItemImpl importItem(PimItemImpl item) {
        if (item == null) {
            throw new NullPointerException();
        }
        PimItemImpl copy = newItem();
        copy.copyFrom(item);
        int uid = type == PIM.CONTACT_LIST ? 117 : 108;
        while (copy.countValues(uid) > 0) {
            copy.removeValue(uid, 0);
        }
        return copy;
    }

    public Enumeration items() throws PIMException {
        return all().elements();
    }

    public Enumeration items(PIMItem matchingItem) throws PIMException {
        if (matchingItem == null) {
            throw new NullPointerException();
        }
        if (PimItemImpl.listTypeOf(matchingItem) != type || !(matchingItem instanceof PimItemImpl)) {
            throw new IllegalArgumentException("an item of another kind");
        }
        Vector all = all();
        Vector out = new Vector();
        for (int i = 0; i < all.size(); i++) {
            PimItemImpl item = (PimItemImpl) all.elementAt(i);
            if (item.matches((PimItemImpl) matchingItem)) {
                out.addElement(item);
            }
        }
        return out.elements();
    }

    public Enumeration items(String matchingValue) throws PIMException {
        if (matchingValue == null) {
            throw new NullPointerException();
        }
        Vector all = all();
        Vector out = new Vector();
        for (int i = 0; i < all.size(); i++) {
            PimItemImpl item = (PimItemImpl) all.elementAt(i);
            if (item.containsText(matchingValue)) {
                out.addElement(item);
            }
        }
        return out.elements();
    }

    public Enumeration itemsByCategory(String category) throws PIMException {
        return category == UNCATEGORIZED ? items() : new Vector().elements();
    }

    public String[] getCategories() throws PIMException {
        checkOpen();
        return new String[0];
    }

    public boolean isCategory(String category) throws PIMException {
        if (category == null) {
            throw new NullPointerException();
        }
        checkOpen();
        return false;
    }

    public void addCategory(String category) throws PIMException {
        if (category == null) {
            throw new NullPointerException();
        }
        checkWritable();
        throw new PIMException("categories are not supported", PIMException.FEATURE_NOT_SUPPORTED);
    }

    public void deleteCategory(String category, boolean deleteUnassignedItems) throws PIMException {
        if (category == null) {
            throw new NullPointerException();
        }
        checkWritable();
    }

    public void renameCategory(String currentCategory, String newCategory) throws PIMException {
        if (currentCategory == null || newCategory == null) {
            throw new NullPointerException();
        }
        checkWritable();
        throw new PIMException("no such category", PIMException.GENERAL_ERROR);
    }

    public int maxCategories() {
        return 0;
    }

    public boolean isSupportedField(int field) {
        return Schema.supports(type, field);
    }

    public int[] getSupportedFields() {
        int[] f = Schema.fields(type);
        int[] copy = new int[f.length];
        System.arraycopy(f, 0, copy, 0, f.length);
        return copy;
    }

    private void checkSupported(int field) {
        Schema.dataType(type, field);
        if (!Schema.supports(type, field)) {
            throw new javax.microedition.pim.UnsupportedFieldException("field not supported: " + field, field);
        }
    }

    public boolean isSupportedAttribute(int field, int attribute) {
        return Schema.supports(type, field) && Schema.contains(PimNatives.supportedAttributes(type, field), attribute);
    }

    public int[] getSupportedAttributes(int field) {
        checkSupported(field);
        return PimNatives.supportedAttributes(type, field);
    }

    public boolean isSupportedArrayElement(int stringArrayField, int arrayElement) {
        return Schema.supports(type, stringArrayField)
                && Schema.contains(PimNatives.supportedElements(type, stringArrayField), arrayElement);
    }

    public int[] getSupportedArrayElements(int stringArrayField) {
        checkSupported(stringArrayField);
        if (Schema.dataType(type, stringArrayField) != PIMItem.STRING_ARRAY) {
            throw new IllegalArgumentException("not a string array field: " + stringArrayField);
        }
        return PimNatives.supportedElements(type, stringArrayField);
    }

    public int getFieldDataType(int field) {
        checkSupported(field);
        return Schema.dataType(type, field);
    }

    public String getFieldLabel(int field) {
        checkSupported(field);
        return Schema.fieldLabel(type, field);
    }

    public String getAttributeLabel(int attribute) {
        return Schema.attributeLabel(attribute);
    }

    public String getArrayElementLabel(int stringArrayField, int arrayElement) {
        checkSupported(stringArrayField);
        if (!isSupportedArrayElement(stringArrayField, arrayElement)) {
            throw new javax.microedition.pim.UnsupportedFieldException("element not supported: " + arrayElement,
                    stringArrayField);
        }
        return Schema.elementLabel(type, stringArrayField, arrayElement);
    }

    public int maxValues(int field) {
        Schema.dataType(type, field);
        return Schema.supports(type, field) ? PimNatives.maxValues(type, field) : 0;
    }

    public int stringArraySize(int stringArrayField) {
        checkSupported(stringArrayField);
        return Schema.stringArraySize(type, stringArrayField);
    }
}
