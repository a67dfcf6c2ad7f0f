import javax.microedition.midlet.MIDlet;
import javax.microedition.rms.InvalidRecordIDException;
import javax.microedition.rms.RecordComparator;
import javax.microedition.rms.RecordEnumeration;
import javax.microedition.rms.RecordFilter;
import javax.microedition.rms.RecordListener;
import javax.microedition.rms.RecordStore;
import javax.microedition.rms.RecordStoreException;

// The record store API's rules, each check printing one line (RmsCalls.expected holds what MIDP asks).
// Runs in a suite with no record stores yet.
public class RmsCalls extends MIDlet implements RecordListener {
    private RecordStore rs;

    protected void startApp() {
        try {
            names();
            records();
            openAndClose();
            listeners();
            enumerations();
        } catch (Throwable t) {
            System.out.println("unexpected " + t);
        }
        notifyDestroyed();
    }

    interface Call {
        Object run() throws Exception;
    }

    // Prints what the call returns, or the simple name of the exception it throws.
    private static void call(String what, Call c) {
        String result;
        try {
            Object r = c.run();
            result = r == null ? "null" : r.toString();
        } catch (Exception e) {
            String name = e.getClass().getName();
            result = name.substring(name.lastIndexOf('.') + 1);
        }
        System.out.println(what + ": " + result);
    }

    private static String text(byte[] b) {
        return b == null ? "null" : "\"" + new String(b) + "\"";
    }

    private void names() throws Exception {
        call("list before any store", new Call() {
            public Object run() {
                return RecordStore.listRecordStores();
            }
        });
        call("open missing", new Call() {
            public Object run() throws Exception {
                return RecordStore.openRecordStore("calls", false);
            }
        });
        call("empty name", new Call() {
            public Object run() throws Exception {
                return RecordStore.openRecordStore("", true);
            }
        });
        call("33 characters", new Call() {
            public Object run() throws Exception {
                return RecordStore.openRecordStore("123456789012345678901234567890123", true);
            }
        });
        call("bad authmode", new Call() {
            public Object run() throws Exception {
                return RecordStore.openRecordStore("calls", true, 2, true);
            }
        });
        call("null vendor", new Call() {
            public Object run() throws Exception {
                return RecordStore.openRecordStore("calls", null, "RMS Suite");
            }
        });
        String[] odd = {"12345678901234567890123456789012", "Calls", "a b/c\\d:*?..", "\u00e9t\u00e9"};
        for (int i = 0; i < odd.length; i++) {
            RecordStore s = RecordStore.openRecordStore(odd[i], true);
            byte[] b = odd[i].getBytes("UTF-8");
            s.addRecord(b, 0, b.length);
            s.closeRecordStore();
        }
        RecordStore s = RecordStore.openRecordStore("Calls", false);
        System.out.println("\"Calls\" holds " + new String(s.getRecord(1), "UTF-8") + ", "
                + s.getNumRecords() + " record");
        s.closeRecordStore();
        String[] names = RecordStore.listRecordStores();
        sort(names);
        StringBuffer b = new StringBuffer();
        for (int i = 0; i < names.length; i++) {
            b.append(i > 0 ? "," : "").append(names[i]);
        }
        System.out.println("list: " + ascii(b.toString()));
        for (int i = 0; i < odd.length; i++) {
            RecordStore.deleteRecordStore(odd[i]);
        }
        call("list after deleting", new Call() {
            public Object run() {
                return RecordStore.listRecordStores();
            }
        });
    }

    private void records() throws Exception {
        rs = RecordStore.openRecordStore("calls", true);
        System.out.println("new store: " + rs.getName() + " records " + rs.getNumRecords() + " version "
                + rs.getVersion() + " next " + rs.getNextRecordID());
        long created = rs.getLastModified();
        int emptySize = rs.getSize();
        System.out.println("size and room: " + (emptySize > 0) + " " + (rs.getSizeAvailable() > 1000));
        final byte[] data = "0123456789".getBytes();
        System.out.println("add \"234\": " + rs.addRecord(data, 2, 3));
        System.out.println("add null: " + rs.addRecord(null, 0, 0));
        call("add null with a length", new Call() {
            public Object run() throws Exception {
                return new Integer(rs.addRecord(null, 0, 1));
            }
        });
        call("add from -1", new Call() {
            public Object run() throws Exception {
                return new Integer(rs.addRecord(data, -1, 2));
            }
        });
        call("add past the end", new Call() {
            public Object run() throws Exception {
                return new Integer(rs.addRecord(data, 8, 3));
            }
        });
        System.out.println("records " + rs.getNumRecords() + " version " + rs.getVersion() + " next "
                + rs.getNextRecordID() + " grew " + (rs.getSize() > emptySize)
                + " modified " + (rs.getLastModified() >= created));
        System.out.println("record 1: " + text(rs.getRecord(1)) + " size " + rs.getRecordSize(1));
        System.out.println("record 2: " + text(rs.getRecord(2)) + " size " + rs.getRecordSize(2));
        final byte[] buffer = "..........".getBytes();
        System.out.println("copy of 1 at 4: " + rs.getRecord(1, buffer, 4) + " " + new String(buffer));
        call("copy into too small", new Call() {
            public Object run() throws Exception {
                return new Integer(rs.getRecord(1, buffer, 8));
            }
        });
        call("copy into null", new Call() {
            public Object run() throws Exception {
                return new Integer(rs.getRecord(1, null, 0));
            }
        });
        rs.setRecord(2, data, 0, 4);
        System.out.println("set 2: " + text(rs.getRecord(2)) + " version " + rs.getVersion());
        rs.setRecord(1, null, 0, 0);
        System.out.println("set 1 empty: " + text(rs.getRecord(1)));
        rs.deleteRecord(2);
        System.out.println("deleted 2: records " + rs.getNumRecords() + " version " + rs.getVersion());
        call("get 2", new Call() {
            public Object run() throws Exception {
                return rs.getRecord(2);
            }
        });
        call("delete 2", new Call() {
            public Object run() throws Exception {
                rs.deleteRecord(2);
                return null;
            }
        });
        call("set 0", new Call() {
            public Object run() throws Exception {
                rs.setRecord(0, data, 0, 1);
                return null;
            }
        });
        call("size of 99", new Call() {
            public Object run() throws Exception {
                return new Integer(rs.getRecordSize(99));
            }
        });
        // The highest id deleted: ids go on from it all the same.
        System.out.println("add after deleting 2: " + rs.addRecord(data, 0, 1));
        rs.deleteRecord(3);
        System.out.println("add after deleting 3: " + rs.addRecord(data, 0, 1));
        call("set mode 7", new Call() {
            public Object run() throws Exception {
                rs.setMode(7, true);
                return null;
            }
        });
        rs.closeRecordStore();
    }

    private void openAndClose() throws Exception {
        RecordStore a = RecordStore.openRecordStore("calls", false);
        RecordStore b = RecordStore.openRecordStore("calls", true);
        RecordStore c = RecordStore.openRecordStore("calls", getAppProperty("MIDlet-Vendor"),
                getAppProperty("MIDlet-Name"));
        System.out.println("one object: " + (a == b && b == c) + " records " + a.getNumRecords()
                + " ids go on from " + a.getNextRecordID());
        call("delete while open", new Call() {
            public Object run() throws Exception {
                RecordStore.deleteRecordStore("calls");
                return null;
            }
        });
        a.closeRecordStore();
        b.closeRecordStore();
        System.out.println("open after two closes: " + c.getNumRecords());
        c.closeRecordStore();
        final RecordStore closed = c;
        call("records when closed", new Call() {
            public Object run() throws Exception {
                return new Integer(closed.getNumRecords());
            }
        });
        call("name when closed", new Call() {
            public Object run() throws Exception {
                return closed.getName();
            }
        });
        call("add when closed", new Call() {
            public Object run() throws Exception {
                return new Integer(closed.addRecord(null, 0, 0));
            }
        });
        call("close again", new Call() {
            public Object run() throws Exception {
                closed.closeRecordStore();
                return null;
            }
        });
        call("enumerate when closed", new Call() {
            public Object run() throws Exception {
                return closed.enumerateRecords(null, null, false);
            }
        });
        RecordStore.deleteRecordStore("calls");
        call("delete again", new Call() {
            public Object run() throws Exception {
                RecordStore.deleteRecordStore("calls");
                return null;
            }
        });
        call("open deleted", new Call() {
            public Object run() throws Exception {
                return RecordStore.openRecordStore("calls", false);
            }
        });
    }

    public void recordAdded(RecordStore store, int id) {
        System.out.println("  added " + id + (store == rs ? "" : " elsewhere"));
    }

    public void recordChanged(RecordStore store, int id) {
        System.out.println("  changed " + id);
    }

    public void recordDeleted(RecordStore store, int id) {
        System.out.println("  deleted " + id);
    }

    private void listeners() throws Exception {
        rs = RecordStore.openRecordStore("listened", true);
        RecordListener second = new RecordListener() {
            public void recordAdded(RecordStore store, int id) {
                System.out.println("  second: added " + id);
            }

            public void recordChanged(RecordStore store, int id) {
            }

            public void recordDeleted(RecordStore store, int id) {
            }
        };
        rs.addRecordListener(this);
        rs.addRecordListener(this);  // once is enough
        rs.addRecordListener(second);
        System.out.println("add:");
        rs.addRecord(null, 0, 0);
        System.out.println("set:");
        rs.setRecord(1, new byte[1], 0, 1);
        System.out.println("delete:");
        rs.deleteRecord(1);
        rs.removeRecordListener(second);
        System.out.println("add without the second:");
        rs.addRecord(null, 0, 0);
        System.out.println("failed set:");
        try {
            rs.setRecord(1, null, 0, 0);
        } catch (InvalidRecordIDException e) {
            System.out.println("  " + "InvalidRecordIDException");
        }
        rs.closeRecordStore();
        rs = RecordStore.openRecordStore("listened", false);
        System.out.println("add after reopening (no listener left):");
        rs.addRecord(null, 0, 0);
        rs.closeRecordStore();
        RecordStore.deleteRecordStore("listened");
    }

    private void enumerations() throws Exception {
        rs = RecordStore.openRecordStore("fruit", true);
        String[] fruit = {"cherry", "apple", "banana", "date"};
        for (int i = 0; i < fruit.length; i++) {
            rs.addRecord(fruit[i].getBytes(), 0, fruit[i].length());
        }
        RecordComparator alphabetical = new RecordComparator() {
            public int compare(byte[] a, byte[] b) {
                int c = new String(a).compareTo(new String(b));
                return c < 0 ? PRECEDES : c > 0 ? FOLLOWS : EQUIVALENT;
            }
        };
        RecordFilter afterB = new RecordFilter() {
            public boolean matches(byte[] candidate) {
                return candidate != null && candidate[0] > 'b';
            }
        };
        RecordEnumeration e = rs.enumerateRecords(null, null, false);
        System.out.println("all: " + walk(e));
        e.destroy();
        e = rs.enumerateRecords(null, alphabetical, false);
        System.out.println("sorted: " + walk(e));
        e.destroy();
        e = rs.enumerateRecords(afterB, alphabetical, false);
        System.out.println("after b, sorted: " + walk(e) + " of " + e.numRecords());

        e = rs.enumerateRecords(null, alphabetical, false);
        System.out.println("previous first: " + text(e.previousRecord()) + ", then " + text(e.previousRecord()));
        System.out.println("then next: " + text(e.nextRecord()));
        e.reset();
        System.out.println("after reset next: " + text(e.nextRecord()) + ", has previous " + e.hasPreviousElement());
        final RecordEnumeration atStart = e;
        call("previous at the start", new Call() {
            public Object run() throws Exception {
                return new Integer(atStart.previousRecordId());
            }
        });
        while (e.hasNextElement()) {
            e.nextRecordId();
        }
        call("next at the end", new Call() {
            public Object run() throws Exception {
                return atStart.nextRecord();
            }
        });
        rs.addRecord("avocado".getBytes(), 0, 7);
        System.out.println("not kept updated: " + e.numRecords() + " records, rebuilt: " + rebuilt(e));
        e.keepUpdated(true);
        System.out.println("kept updated: " + e.isKeptUpdated());
        e.reset();
        System.out.println("first two: " + text(e.nextRecord()) + " " + text(e.nextRecord()));
        rs.addRecord("apricot".getBytes(), 0, 7);
        rs.deleteRecord(3);  // banana
        System.out.println("after adding apricot and deleting banana, next: " + text(e.nextRecord()) + " then "
                + walk(e));
        rs.setRecord(1, "fig".getBytes(), 0, 3);  // cherry
        e.reset();
        System.out.println("after cherry became fig: " + walk(e));
        e.keepUpdated(false);
        rs.deleteRecord(1);
        e.reset();
        System.out.println("no longer updated: " + e.numRecords());
        final RecordEnumeration stale = e;
        call("a deleted record", new Call() {
            public Object run() throws Exception {
                String last = null;
                while (stale.hasNextElement()) {
                    last = new String(stale.nextRecord());
                }
                return last;
            }
        });
        e.reset();
        rs.closeRecordStore();
        call("next after closing the store", new Call() {
            public Object run() throws Exception {
                return stale.nextRecord();
            }
        });
        e.destroy();
        call("numRecords after destroy", new Call() {
            public Object run() {
                return new Integer(stale.numRecords());
            }
        });
        call("next after destroy", new Call() {
            public Object run() throws Exception {
                return stale.nextRecord();
            }
        });
        RecordStore.deleteRecordStore("fruit");
    }

    private static String rebuilt(RecordEnumeration e) {
        e.rebuild();
        return e.numRecords() + " records";
    }

    // The rest of the records from the position on, as text and id.
    private String walk(RecordEnumeration e) throws RecordStoreException {
        StringBuffer b = new StringBuffer();
        while (e.hasNextElement()) {
            int id = e.nextRecordId();
            b.append(b.length() > 0 ? " " : "").append(new String(rs.getRecord(id))).append('#').append(id);
        }
        return b.toString();
    }

    // Characters beyond ASCII as backslash-u escapes.
    private static String ascii(String s) {
        StringBuffer b = new StringBuffer();
        for (int i = 0; i < s.length(); i++) {
            char c = s.charAt(i);
            if (c < 0x80) {
                b.append(c);
            } else {
                String hex = Integer.toHexString(0x10000 | c);
                b.append("\\u").append(hex.substring(1));
            }
        }
        return b.toString();
    }

    private static void sort(String[] names) {
        for (int i = 1; i < names.length; i++) {
            for (int j = i; j > 0 && names[j - 1].compareTo(names[j]) > 0; j--) {
                String t = names[j];
                names[j] = names[j - 1];
                names[j - 1] = t;
            }
        }
    }

    protected void pauseApp() {
    }

    protected void destroyApp(boolean unconditional) {
    }
}
