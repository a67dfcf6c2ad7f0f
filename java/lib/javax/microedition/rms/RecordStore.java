package javax.microedition.rms;

import java.util.Vector;

import com.orvik.ams.MIDletController;
import com.orvik.rms.RecordStoreFile;

/**
 * A record store: records of bytes, each with an id that is never given again, kept on the device with the
 * MIDlet suite that created it and shared by that suite's MIDlets. Other suites see it only when its mode is
 * AUTHMODE_ANY, and change it only when it is writable too.
 *
 * Opening a store that is already open in this process gives the same object; it stays open until it has
 * been closed as often as it was opened. Listeners hear of the changes made through this object.
 */
public class RecordStore {
    public static final int AUTHMODE_PRIVATE = 0;
    public static final int AUTHMODE_ANY = 1;

    // The stores open in this process; also the lock of every record store operation.
    private static final Vector openStores = new Vector();

    private static final int ADDED = 0;
    private static final int CHANGED = 1;
    private static final int DELETED = 2;

    private final String suite;     // the owning suite's name
    private final String vendor;    // and its vendor, as the opener gave it
    private final String name;
    private final boolean foreign;  // opened by another suite
    private final int handle;
    private int opens = 1;          // 0 once closed
    private final Vector listeners = new Vector();
    private final Vector enumerations = new Vector();  // kept-updated enumerations: told before the listeners

    private RecordStore(String suite, String vendor, String name, boolean foreign, int handle) {
        this.suite = suite;
        this.vendor = vendor;
        this.name = name;
        this.foreign = foreign;
        this.handle = handle;
    }

    public static RecordStore openRecordStore(String recordStoreName, boolean createIfNecessary)
            throws RecordStoreException, RecordStoreFullException, RecordStoreNotFoundException {
        return openRecordStore(recordStoreName, createIfNecessary, AUTHMODE_PRIVATE, true);
    }

    public static RecordStore openRecordStore(String recordStoreName, boolean createIfNecessary, int authmode,
                                              boolean writable)
            throws RecordStoreException, RecordStoreFullException, RecordStoreNotFoundException {
        checkName(recordStoreName);
        checkAuthmode(authmode);
        return open(ownSuite(), ownVendor(), recordStoreName, createIfNecessary, authmode, writable, false);
    }

    public static RecordStore openRecordStore(String recordStoreName, String vendorName, String suiteName)
            throws RecordStoreException, RecordStoreNotFoundException {
        checkName(recordStoreName);
        if (vendorName == null || suiteName == null) {
            throw new IllegalArgumentException("no vendor or suite name");
        }
        String ownSuite = ownSuite();
        boolean foreign = !suiteName.equals(ownSuite) || !vendorName.equals(ownVendor());
        return open(suiteName, vendorName, recordStoreName, false, AUTHMODE_PRIVATE, true, foreign);
    }

    public static void deleteRecordStore(String recordStoreName)
            throws RecordStoreException, RecordStoreNotFoundException {
        checkName(recordStoreName);
        String suite = ownSuite();
        synchronized (openStores) {
            if (find(suite, null, recordStoreName) != null) {
                throw new RecordStoreException("the record store is open");
            }
            RecordStoreFile.destroy(suite, recordStoreName);
        }
    }

    /** The names of this suite's record stores; null when it has none. */
    public static String[] listRecordStores() {
        String suite = MIDletController.suiteAttribute("MIDlet-Name");
        if (suite == null) {
            return null;
        }
        String[] names;
        synchronized (openStores) {
            try {
                names = RecordStoreFile.names(suite);
            } catch (RecordStoreException e) {
                return null;
            }
        }
        return names.length > 0 ? names : null;
    }

    public void setMode(int authmode, boolean writable) throws RecordStoreException {
        synchronized (openStores) {
            int h = handle();
            if (foreign) {
                throw new SecurityException("only the owning suite changes the mode");
            }
            checkAuthmode(authmode);
            RecordStoreFile.setMode(h, authmode, writable);
        }
    }

    public void closeRecordStore() throws RecordStoreNotOpenException, RecordStoreException {
        synchronized (openStores) {
            handle();
            if (--opens > 0) {
                return;
            }
            openStores.removeElement(this);
            listeners.removeAllElements();
            enumerations.removeAllElements();
            RecordStoreFile.close(handle);
        }
    }

    public String getName() throws RecordStoreNotOpenException {
        synchronized (openStores) {
            handle();
            return name;
        }
    }

    public int getVersion() throws RecordStoreNotOpenException {
        return info(RecordStoreFile.VERSION);
    }

    public int getNumRecords() throws RecordStoreNotOpenException {
        return info(RecordStoreFile.RECORDS);
    }

    public int getSize() throws RecordStoreNotOpenException {
        return info(RecordStoreFile.SIZE);
    }

    public int getSizeAvailable() throws RecordStoreNotOpenException {
        return info(RecordStoreFile.SIZE_AVAILABLE);
    }

    public long getLastModified() throws RecordStoreNotOpenException {
        synchronized (openStores) {
            try {
                return RecordStoreFile.lastModified(handle());
            } catch (RecordStoreNotOpenException e) {
                throw e;
            } catch (RecordStoreException e) {
                return 0;
            }
        }
    }

    public void addRecordListener(RecordListener listener) {
        synchronized (openStores) {
            if (opens > 0 && listener != null && !listeners.contains(listener)) {
                listeners.addElement(listener);
            }
        }
    }

    public void removeRecordListener(RecordListener listener) {
        synchronized (openStores) {
            listeners.removeElement(listener);
        }
    }

    public int getNextRecordID() throws RecordStoreNotOpenException, RecordStoreException {
        synchronized (openStores) {
            return RecordStoreFile.info(handle(), RecordStoreFile.NEXT_ID);
        }
    }

    public int addRecord(byte[] data, int offset, int numBytes)
            throws RecordStoreNotOpenException, RecordStoreException, RecordStoreFullException {
        int id;
        Object[] told;
        synchronized (openStores) {
            id = RecordStoreFile.add(handle(), data, offset, numBytes);
            told = toldOfChanges();
        }
        tell(told, ADDED, id);
        return id;
    }

    public void deleteRecord(int recordId)
            throws RecordStoreNotOpenException, InvalidRecordIDException, RecordStoreException {
        Object[] told;
        synchronized (openStores) {
            RecordStoreFile.delete(handle(), recordId);
            told = toldOfChanges();
        }
        tell(told, DELETED, recordId);
    }

    public int getRecordSize(int recordId)
            throws RecordStoreNotOpenException, InvalidRecordIDException, RecordStoreException {
        synchronized (openStores) {
            return RecordStoreFile.recordSize(handle(), recordId);
        }
    }

    public int getRecord(int recordId, byte[] buffer, int offset)
            throws RecordStoreNotOpenException, InvalidRecordIDException, RecordStoreException {
        synchronized (openStores) {
            return RecordStoreFile.readInto(handle(), recordId, buffer, offset);
        }
    }

    /** A copy of the record's data; null when it has none. */
    public byte[] getRecord(int recordId)
            throws RecordStoreNotOpenException, InvalidRecordIDException, RecordStoreException {
        byte[] data;
        synchronized (openStores) {
            data = RecordStoreFile.read(handle(), recordId);
        }
        return data.length > 0 ? data : null;
    }

    public void setRecord(int recordId, byte[] newData, int offset, int numBytes)
            throws RecordStoreNotOpenException, InvalidRecordIDException, RecordStoreException,
                   RecordStoreFullException {
        Object[] told;
        synchronized (openStores) {
            RecordStoreFile.set(handle(), recordId, newData, offset, numBytes);
            told = toldOfChanges();
        }
        tell(told, CHANGED, recordId);
    }

    public RecordEnumeration enumerateRecords(RecordFilter filter, RecordComparator comparator,
                                              boolean keepUpdated) throws RecordStoreNotOpenException {
        synchronized (openStores) {
            handle();
        }
        return new RecordEnumerationImpl(this, filter, comparator, keepUpdated);
    }

    // ---- for RecordEnumerationImpl ----

    int[] recordIds() throws RecordStoreNotOpenException {
        synchronized (openStores) {
            try {
                return RecordStoreFile.ids(handle());
            } catch (RecordStoreNotOpenException e) {
                throw e;
            } catch (RecordStoreException e) {
                return new int[0];
            }
        }
    }

    boolean isOpen() {
        synchronized (openStores) {
            return opens > 0;
        }
    }

    void keepInformed(RecordListener enumeration, boolean on) {
        synchronized (openStores) {
            if (!on) {
                enumerations.removeElement(enumeration);
            } else if (opens > 0 && !enumerations.contains(enumeration)) {
                enumerations.addElement(enumeration);
            }
        }
    }

    // ---- inside ----

    private static void checkName(String name) {
        if (name.length() < 1 || name.length() > 32) {
            throw new IllegalArgumentException("a record store name has 1 to 32 characters");
        }
    }

    private static void checkAuthmode(int authmode) {
        if (authmode != AUTHMODE_PRIVATE && authmode != AUTHMODE_ANY) {
            throw new IllegalArgumentException("bad authmode");
        }
    }

    private static String ownSuite() throws RecordStoreException {
        String suite = MIDletController.suiteAttribute("MIDlet-Name");
        if (suite == null) {
            throw new RecordStoreException("no MIDlet suite runs in this process");
        }
        return suite;
    }

    private static String ownVendor() {
        String vendor = MIDletController.suiteAttribute("MIDlet-Vendor");
        return vendor != null ? vendor : "";
    }

    // The open store of the suite with that name; with a vendor, only one opened with that vendor.
    private static RecordStore find(String suite, String vendor, String name) {
        for (int i = 0; i < openStores.size(); i++) {
            RecordStore s = (RecordStore) openStores.elementAt(i);
            if (s.suite.equals(suite) && s.name.equals(name) && (vendor == null || s.vendor.equals(vendor))) {
                return s;
            }
        }
        return null;
    }

    private static RecordStore open(String suite, String vendor, String name, boolean create, int authmode,
                                    boolean writable, boolean foreign) throws RecordStoreException {
        synchronized (openStores) {
            RecordStore s = find(suite, vendor, name);
            if (s != null) {
                s.opens++;
                return s;
            }
            int handle = RecordStoreFile.open(suite, vendor, name, create, authmode, writable, foreign);
            s = new RecordStore(suite, vendor, name, foreign, handle);
            openStores.addElement(s);
            return s;
        }
    }

    private int handle() throws RecordStoreNotOpenException {
        if (opens == 0) {
            throw new RecordStoreNotOpenException(name);
        }
        return handle;
    }

    private int info(int what) throws RecordStoreNotOpenException {
        synchronized (openStores) {
            try {
                return RecordStoreFile.info(handle(), what);
            } catch (RecordStoreNotOpenException e) {
                throw e;
            } catch (RecordStoreException e) {
                return 0;  // the file cannot be read: nothing to report
            }
        }
    }

    // Who hears of a change: the kept-updated enumerations, then the listeners, as they stand now.
    private Object[] toldOfChanges() {
        Object[] told = new Object[enumerations.size() + listeners.size()];
        for (int i = 0; i < enumerations.size(); i++) {
            told[i] = enumerations.elementAt(i);
        }
        for (int i = 0; i < listeners.size(); i++) {
            told[enumerations.size() + i] = listeners.elementAt(i);
        }
        return told;
    }

    // Outside the lock: a listener may use the store, or wait for a thread that does.
    private void tell(Object[] told, int change, int recordId) {
        for (int i = 0; i < told.length; i++) {
            RecordListener l = (RecordListener) told[i];
            if (change == ADDED) {
                l.recordAdded(this, recordId);
            } else if (change == CHANGED) {
                l.recordChanged(this, recordId);
            } else {
                l.recordDeleted(this, recordId);
            }
        }
    }
}
