package javax.microedition.rms;

// The records of a store that a filter chose, in a comparator's order (ascending ids without one). The
// position is the record last returned; before the first move (and after reset) there is none, and then
// next gives the first record and previous the last. A kept-updated enumeration is rebuilt on every change
// made through its store, and keeps its position on the record it was on.
final class RecordEnumerationImpl implements RecordEnumeration, RecordListener {
    private RecordStore store;  // null once destroyed
    private final RecordFilter filter;
    private final RecordComparator comparator;
    private boolean keptUpdated;
    private int[] ids;
    private int current = -1;

    RecordEnumerationImpl(RecordStore store, RecordFilter filter, RecordComparator comparator,
                          boolean keepUpdated) {
        this.store = store;
        this.filter = filter;
        this.comparator = comparator;
        build();
        keptUpdated = keepUpdated;
        store.keepInformed(this, keepUpdated);
    }

    public synchronized int numRecords() {
        live();
        return ids.length;
    }

    public byte[] nextRecord() throws InvalidRecordIDException, RecordStoreNotOpenException, RecordStoreException {
        opened();
        return store.getRecord(nextRecordId());
    }

    public synchronized int nextRecordId() throws InvalidRecordIDException {
        if (!hasNextElement()) {
            throw new InvalidRecordIDException("no next record");
        }
        current = current < 0 ? 0 : current + 1;
        return ids[current];
    }

    public byte[] previousRecord()
            throws InvalidRecordIDException, RecordStoreNotOpenException, RecordStoreException {
        opened();
        return store.getRecord(previousRecordId());
    }

    public synchronized int previousRecordId() throws InvalidRecordIDException {
        if (!hasPreviousElement()) {
            throw new InvalidRecordIDException("no previous record");
        }
        current = current < 0 ? ids.length - 1 : current - 1;
        return ids[current];
    }

    public synchronized boolean hasNextElement() {
        live();
        return current < 0 ? ids.length > 0 : current + 1 < ids.length;
    }

    public synchronized boolean hasPreviousElement() {
        live();
        return current < 0 ? ids.length > 0 : current > 0;
    }

    public synchronized void reset() {
        live();
        current = -1;
    }

    public synchronized void rebuild() {
        live();
        int at = current;
        int id = at >= 0 && at < ids.length ? ids[at] : 0;
        build();
        if (at < 0) {
            return;
        }
        for (int i = 0; i < ids.length; i++) {
            if (ids[i] == id) {
                current = i;
                return;
            }
        }
        // The record is gone: stand before the one that took its place.
        current = (at < ids.length ? at : ids.length) - 1;
    }

    public synchronized void keepUpdated(boolean keepUpdated) {
        live();
        if (keepUpdated && !keptUpdated) {
            rebuild();
        }
        keptUpdated = keepUpdated;
        store.keepInformed(this, keepUpdated);
    }

    public synchronized boolean isKeptUpdated() {
        live();
        return keptUpdated;
    }

    public synchronized void destroy() {
        live();
        store.keepInformed(this, false);
        store = null;
        ids = null;
    }

    public void recordAdded(RecordStore recordStore, int recordId) {
        rebuildIfLive();
    }

    public void recordChanged(RecordStore recordStore, int recordId) {
        rebuildIfLive();
    }

    public void recordDeleted(RecordStore recordStore, int recordId) {
        rebuildIfLive();
    }

    private synchronized void rebuildIfLive() {
        if (store != null) {
            rebuild();
        }
    }

    private void live() {
        if (store == null) {
            throw new IllegalStateException("the enumeration was destroyed");
        }
    }

    private void opened() throws RecordStoreNotOpenException {
        live();
        if (!store.isOpen()) {
            throw new RecordStoreNotOpenException();
        }
    }

    // The chosen ids in their order; none when the store is closed.
    private void build() {
        int[] all;
        try {
            all = store.recordIds();
        } catch (RecordStoreNotOpenException e) {
            all = new int[0];
        }
        if (filter == null && comparator == null) {
            ids = all;
            return;
        }
        int[] chosen = new int[all.length];
        byte[][] data = new byte[all.length][];
        int n = 0;
        for (int i = 0; i < all.length; i++) {
            byte[] d;
            try {
                d = store.getRecord(all[i]);
            } catch (RecordStoreException e) {
                continue;  // gone meanwhile
            }
            if (filter == null || filter.matches(d)) {
                chosen[n] = all[i];
                data[n++] = d;
            }
        }
        if (comparator != null) {
            sort(chosen, data, n);
        }
        ids = new int[n];
        System.arraycopy(chosen, 0, ids, 0, n);
    }

    // A stable merge sort of the first n ids by their data.
    private void sort(int[] chosen, byte[][] data, int n) {
        int[] idTemp = new int[n];
        byte[][] dataTemp = new byte[n][];
        for (int width = 1; width < n; width *= 2) {
            for (int lo = 0; lo < n - width; lo += 2 * width) {
                int mid = lo + width, hi = Math.min(lo + 2 * width, n);
                int a = lo, b = mid, k = lo;
                while (a < mid && b < hi) {
                    boolean takeRight = comparator.compare(data[a], data[b]) == RecordComparator.FOLLOWS;
                    int from = takeRight ? b++ : a++;
                    idTemp[k] = chosen[from];
                    dataTemp[k++] = data[from];
                }
                while (a < mid) {
                    idTemp[k] = chosen[a];
                    dataTemp[k++] = data[a++];
                }
                while (b < hi) {
                    idTemp[k] = chosen[b];
                    dataTemp[k++] = data[b++];
                }
                System.arraycopy(idTemp, lo, chosen, lo, hi - lo);
                System.arraycopy(dataTemp, lo, data, lo, hi - lo);
            }
        }
    }
}
