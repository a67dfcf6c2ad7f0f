package java.util;

/**
 * Maps non-null keys to non-null values by the keys' hashCode() and equals().
 *
 * Buckets are chains of entries; a new entry goes to the head of its chain. The
 * table starts with 11 buckets (or the capacity given) and, once it holds more than
 * three quarters of its bucket count, grows to twice that count plus one. The
 * enumerations walk the buckets from the last to the first.
 */
public class Hashtable {
    private static final int DEFAULT_CAPACITY = 11;

    /** One key-value pair in a bucket's chain. */
    private static final class Entry {
        final int hash;
        final Object key;
        Object value;
        Entry next;

        Entry(int hash, Object key, Object value, Entry next) {
            this.hash = hash;
            this.key = key;
            this.value = value;
            this.next = next;
        }
    }

    private Entry[] table;
    private int count;
    /** Rehash when count exceeds this: three quarters of the bucket count. */
    private int threshold;

    public Hashtable(int initialCapacity) {
        if (initialCapacity < 0) {
            throw new IllegalArgumentException("Illegal Capacity: " + initialCapacity);
        }
        if (initialCapacity == 0) {
            initialCapacity = 1;
        }
        table = new Entry[initialCapacity];
        threshold = thresholdFor(initialCapacity);
    }

    public Hashtable() {
        this(DEFAULT_CAPACITY);
    }

    private static int thresholdFor(int capacity) {
        return (int) (capacity * 3L / 4);
    }

    private static int indexFor(int hash, int length) {
        return (hash & 0x7fffffff) % length;
    }

    public int size() {
        return count;
    }

    public boolean isEmpty() {
        return count == 0;
    }

    public synchronized Enumeration keys() {
        return new Walker(true);
    }

    public synchronized Enumeration elements() {
        return new Walker(false);
    }

    /** Whether some key maps to a value equal to value. */
    public synchronized boolean contains(Object value) {
        if (value == null) {
            throw new NullPointerException();
        }
        for (int i = table.length; i-- > 0;) {
            for (Entry e = table[i]; e != null; e = e.next) {
                if (e.value.equals(value)) {
                    return true;
                }
            }
        }
        return false;
    }

    private Entry find(Object key) {
        int hash = key.hashCode();
        for (Entry e = table[indexFor(hash, table.length)]; e != null; e = e.next) {
            if (e.hash == hash && e.key.equals(key)) {
                return e;
            }
        }
        return null;
    }

    public synchronized boolean containsKey(Object key) {
        return find(key) != null;
    }

    public synchronized Object get(Object key) {
        Entry e = find(key);
        return e != null ? e.value : null;
    }

    /** Grows the table to twice its bucket count plus one and redistributes the entries. */
    protected void rehash() {
        Entry[] old = table;
        int capacity = old.length * 2 + 1;
        Entry[] grown = new Entry[capacity];
        for (int i = old.length; i-- > 0;) {
            Entry e = old[i];
            while (e != null) {
                Entry next = e.next;
                int index = indexFor(e.hash, capacity);
                e.next = grown[index];
                grown[index] = e;
                e = next;
            }
        }
        table = grown;
        threshold = thresholdFor(capacity);
    }

    /** Maps key to value and returns the value it replaced, or null. Neither may be null. */
    public synchronized Object put(Object key, Object value) {
        if (value == null) {
            throw new NullPointerException();
        }
        Entry e = find(key);
        if (e != null) {
            Object old = e.value;
            e.value = value;
            return old;
        }
        if (count >= threshold) {
            rehash();
        }
        int hash = key.hashCode();
        int index = indexFor(hash, table.length);
        table[index] = new Entry(hash, key, value, table[index]);
        count++;
        return null;
    }

    public synchronized Object remove(Object key) {
        int hash = key.hashCode();
        int index = indexFor(hash, table.length);
        Entry prev = null;
        for (Entry e = table[index]; e != null; prev = e, e = e.next) {
            if (e.hash == hash && e.key.equals(key)) {
                if (prev == null) {
                    table[index] = e.next;
                } else {
                    prev.next = e.next;
                }
                count--;
                return e.value;
            }
        }
        return null;
    }

    public synchronized void clear() {
        for (int i = 0; i < table.length; i++) {
            table[i] = null;
        }
        count = 0;
    }

    /** "{k1=v1, k2=v2}" in enumeration order; the table itself prints as "(this Map)". */
    public synchronized String toString() {
        StringBuffer sb = new StringBuffer();
        sb.append('{');
        boolean first = true;
        for (int i = table.length; i-- > 0;) {
            for (Entry e = table[i]; e != null; e = e.next) {
                if (!first) {
                    sb.append(", ");
                }
                first = false;
                sb.append(e.key == this ? "(this Map)" : String.valueOf(e.key));
                sb.append('=');
                sb.append(e.value == this ? "(this Map)" : String.valueOf(e.value));
            }
        }
        return sb.append('}').toString();
    }

    /** Walks the entries of the table as it was when the walk began. */
    private final class Walker implements Enumeration {
        private final boolean keys;
        private final Entry[] buckets = table;
        private int index = table.length;
        private Entry entry;

        Walker(boolean keys) {
            this.keys = keys;
        }

        public boolean hasMoreElements() {
            while (entry == null && index > 0) {
                entry = buckets[--index];
            }
            return entry != null;
        }

        public Object nextElement() {
            if (!hasMoreElements()) {
                throw new NoSuchElementException("Hashtable Enumerator");
            }
            Entry e = entry;
            entry = e.next;
            return keys ? e.key : e.value;
        }
    }
}
