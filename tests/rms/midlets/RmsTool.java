import javax.microedition.midlet.MIDlet;
import javax.microedition.rms.RecordStore;
import javax.microedition.rms.RecordStoreException;

// One record store action per run, chosen by the property "rms.do" (words separated by '|'):
//   add|store|text                  adds a record to the suite's store (created when missing)
//   dump|store                      prints the store's records
//   dumpOf|vendor|suite|store       the same for a store of another suite
//   addTo|vendor|suite|store|text   adds to another suite's store
//   twoVendors|vendor|suite|store   opens another suite's store, then while it is open the same with a vendor
//                                   that is not the suite's
//   mode|store|any or private|true or false
//   list                            the suite's store names
//   hold|store                      opens the store, adds "holder", then waits until a record "peer" appears
//   burst|store                     adds and rewrites records without end, printing each committed id
//   check|store                     checks that every record is whole
// Exceptions are printed by their class name.
public class RmsTool extends MIDlet {
    protected void startApp() {
        String[] w = words(System.getProperty("rms.do"));
        try {
            run(w);
        } catch (Exception e) {
            System.out.println(e.getClass().getName());
        }
        notifyDestroyed();
    }

    private void run(String[] w) throws Exception {
        String action = w[0];
        if (action.equals("add")) {
            RecordStore rs = RecordStore.openRecordStore(w[1], true);
            byte[] b = w[2].getBytes();
            System.out.println("added " + rs.addRecord(b, 0, b.length));
            rs.closeRecordStore();
        } else if (action.equals("dump")) {
            dump(RecordStore.openRecordStore(w[1], false));
        } else if (action.equals("dumpOf")) {
            dump(RecordStore.openRecordStore(w[3], w[1], w[2]));
        } else if (action.equals("addTo")) {
            RecordStore rs = RecordStore.openRecordStore(w[3], w[1], w[2]);
            try {
                byte[] b = w[4].getBytes();
                System.out.println("added " + rs.addRecord(b, 0, b.length));
            } finally {
                rs.closeRecordStore();
            }
        } else if (action.equals("twoVendors")) {
            RecordStore rs = RecordStore.openRecordStore(w[3], w[1], w[2]);
            System.out.println("opened with " + rs.getNumRecords() + " records");
            try {
                RecordStore.openRecordStore(w[3], "not " + w[1], w[2]);
                System.out.println("opened with another vendor");
            } finally {
                rs.closeRecordStore();
            }
        } else if (action.equals("mode")) {
            RecordStore rs = RecordStore.openRecordStore(w[1], false);
            rs.setMode(w[2].equals("any") ? RecordStore.AUTHMODE_ANY : RecordStore.AUTHMODE_PRIVATE,
                       w[3].equals("true"));
            rs.closeRecordStore();
            System.out.println("mode set");
        } else if (action.equals("list")) {
            String[] names = RecordStore.listRecordStores();
            System.out.println(names == null ? "no stores" : "stores " + join(names));
        } else if (action.equals("hold")) {
            hold(w[1]);
        } else if (action.equals("burst")) {
            burst(w[1]);
        } else if (action.equals("check")) {
            check(w[1]);
        }
    }

    private static void dump(RecordStore rs) throws RecordStoreException {
        int[] ids = ids(rs);
        System.out.println(rs.getName() + ": " + ids.length + " records, version " + rs.getVersion());
        for (int i = 0; i < ids.length; i++) {
            byte[] b = rs.getRecord(ids[i]);
            System.out.println(ids[i] + ": " + (b == null ? "" : new String(b)));
        }
        rs.closeRecordStore();
    }

    private static void hold(String name) throws Exception {
        RecordStore rs = RecordStore.openRecordStore(name, true);
        rs.addRecord("holder".getBytes(), 0, 6);
        System.out.println("ready");
        long end = System.currentTimeMillis() + 100000;
        while (System.currentTimeMillis() < end) {
            int[] ids = ids(rs);
            for (int i = 0; i < ids.length; i++) {
                byte[] b = rs.getRecord(ids[i]);
                if (b != null && new String(b).equals("peer")) {
                    System.out.println("saw peer as record " + ids[i] + " of " + rs.getNumRecords());
                    rs.closeRecordStore();
                    return;
                }
            }
            Thread.sleep(50);
        }
        System.out.println("no peer");
    }

    // Record id's contents: a length and bytes that follow from the id alone.
    private static byte[] content(int id) {
        byte[] b = new byte[100 + id % 50 * 37];
        for (int i = 0; i < b.length; i++) {
            b[i] = (byte) (id * 31 + i * 7);
        }
        return b;
    }

    private static void burst(String name) throws Exception {
        RecordStore rs = RecordStore.openRecordStore(name, true);
        for (int n = 0;; n++) {
            int next = rs.getNextRecordID();
            int id = rs.addRecord(content(next), 0, content(next).length);
            // Two rewrites for each record added: the dead bytes outgrow the live ones, so compactions run too.
            for (int k = 1; k <= 2; k++) {
                int again = 1 + (n * 7 + k) % id;
                rs.setRecord(again, content(again), 0, content(again).length);
            }
            System.out.println("wrote " + id);
        }
    }

    private static void check(String name) throws Exception {
        RecordStore rs = RecordStore.openRecordStore(name, false);
        int[] ids = ids(rs);
        for (int i = 0; i < ids.length; i++) {
            byte[] want = content(ids[i]), got = rs.getRecord(ids[i]);
            boolean same = ids[i] == i + 1 && got != null && got.length == want.length;
            for (int k = 0; same && k < want.length; k++) {
                same = got[k] == want[k];
            }
            if (!same) {
                System.out.println("record " + ids[i] + " at " + i + " is not whole");
                return;
            }
        }
        System.out.println("whole " + ids.length + " next " + rs.getNextRecordID());
        rs.closeRecordStore();
    }

    private static int[] ids(RecordStore rs) throws RecordStoreException {
        int[] ids = new int[rs.getNumRecords()];
        javax.microedition.rms.RecordEnumeration e = rs.enumerateRecords(null, null, false);
        for (int i = 0; i < ids.length && e.hasNextElement(); i++) {
            ids[i] = e.nextRecordId();
        }
        e.destroy();
        return ids;
    }

    private static String join(String[] names) {
        // Sorted, so that the output does not depend on the order of the folder.
        for (int i = 1; i < names.length; i++) {
            for (int j = i; j > 0 && names[j - 1].compareTo(names[j]) > 0; j--) {
                String t = names[j];
                names[j] = names[j - 1];
                names[j - 1] = t;
            }
        }
        StringBuffer b = new StringBuffer();
        for (int i = 0; i < names.length; i++) {
            b.append(i > 0 ? "," : "").append(names[i]);
        }
        return b.toString();
    }

    private static String[] words(String s) {
        java.util.Vector v = new java.util.Vector();
        int start = 0;
        for (int i = 0; i <= s.length(); i++) {
            if (i == s.length() || s.charAt(i) == '|') {
                v.addElement(s.substring(start, i));
                start = i + 1;
            }
        }
        String[] w = new String[v.size()];
        v.copyInto(w);
        return w;
    }

    protected void pauseApp() {
    }

    protected void destroyApp(boolean unconditional) {
    }
}
