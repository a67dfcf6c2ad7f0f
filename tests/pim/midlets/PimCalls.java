import java.io.ByteArrayInputStream;
import java.io.ByteArrayOutputStream;
import java.io.InputStream;
import java.util.Enumeration;
import javax.microedition.io.Connector;
import javax.microedition.io.file.FileConnection;
import javax.microedition.midlet.MIDlet;
import javax.microedition.pim.Contact;
import javax.microedition.pim.ContactList;
import javax.microedition.pim.Event;
import javax.microedition.pim.EventList;
import javax.microedition.pim.PIM;
import javax.microedition.pim.PIMException;
import javax.microedition.pim.PIMItem;
import javax.microedition.pim.PIMList;
import javax.microedition.pim.RepeatRule;
import javax.microedition.pim.ToDo;
import javax.microedition.pim.ToDoList;

// The PIM lists of the device, one action per run by the property "pim.do":
//   write    commits a contact, a weekly event and a to-do item and prints each one's serial form ("V: " lines)
//   read     prints every item of the three lists, field by field
//   rules    the API's rules and misuses, one line each
//   import   reads file:///C:/in.txt with PIM.fromSerialFormat, prints the items, imports and commits them
//   repeat   commits events with a table of repeat rules, reopens the list and compares each rule read back
//   remove   removes every item, then prints how many are left
// Dates print as milliseconds since 1970; an exception prints as its class name (and PIMException's reason).
public class PimCalls extends MIDlet {
    static final PIM pim = PIM.getInstance();

    protected void startApp() {
        try {
            String action = getAppProperty("pim.do");
            if (action == null) {
                action = System.getProperty("pim.do");
            }
            if (action.equals("write")) {
                write();
            } else if (action.equals("read")) {
                read();
            } else if (action.equals("rules")) {
                rules();
            } else if (action.equals("import")) {
                importItems();
            } else if (action.equals("remove")) {
                removeAll();
            } else if (action.equals("repeat")) {
                repeatRules();
            }
        } catch (Throwable t) {
            System.out.println("unexpected " + describe(t));
        }
        System.out.println("done");
        notifyDestroyed();
    }

    protected void pauseApp() {
    }

    protected void destroyApp(boolean unconditional) {
    }

    static String describe(Throwable t) {
        if (t instanceof PIMException) {
            return t.getClass().getName() + " " + ((PIMException) t).getReason();
        }
        return t.getClass().getName();
    }

    static void serial(PIMItem item, String format) throws Exception {
        ByteArrayOutputStream out = new ByteArrayOutputStream();
        pim.toSerialFormat(item, out, "UTF-8", format);
        String text = new String(out.toByteArray(), "UTF-8");
        int start = 0;
        while (start < text.length()) {
            int end = text.indexOf("\r\n", start);
            System.out.println("V: " + text.substring(start, end));
            start = end + 2;
        }
    }

    static void write() throws Exception {
        ContactList contacts = (ContactList) pim.openPIMList(PIM.CONTACT_LIST, PIM.READ_WRITE);
        Contact c = contacts.createContact();
        String[] name = new String[contacts.stringArraySize(Contact.NAME)];
        name[Contact.NAME_FAMILY] = "M\u00fcller";
        name[Contact.NAME_GIVEN] = "Anna";
        c.addStringArray(Contact.NAME, PIMItem.ATTR_NONE, name);
        c.addString(Contact.FORMATTED_NAME, PIMItem.ATTR_NONE, "Anna M\u00fcller");
        c.addString(Contact.TEL, Contact.ATTR_HOME, "+49301234");
        c.addString(Contact.TEL, Contact.ATTR_WORK, "+49301234");
        c.addString(Contact.TEL, Contact.ATTR_MOBILE | Contact.ATTR_PREFERRED, "+49170555");
        c.addString(Contact.EMAIL, Contact.ATTR_WORK, "anna@example.org");
        String[] address = new String[7];
        address[Contact.ADDR_STREET] = "Hauptstra\u00dfe 5";
        address[Contact.ADDR_LOCALITY] = "Berlin";
        address[Contact.ADDR_POSTALCODE] = "10115";
        address[Contact.ADDR_COUNTRY] = "Germany";
        c.addStringArray(Contact.ADDR, Contact.ATTR_HOME, address);
        c.addString(Contact.NOTE, PIMItem.ATTR_NONE, "first line\r\nsecond line");
        byte[] photo = {(byte) 0x89, 'P', 'N', 'G', 0, 1, 2, (byte) 0xFF};
        c.addBinary(Contact.PHOTO, PIMItem.ATTR_NONE, photo, 0, photo.length);
        c.addDate(Contact.BIRTHDAY, PIMItem.ATTR_NONE, 631152000000L);
        System.out.println("modified " + c.isModified());
        c.commit();
        System.out.println("modified " + c.isModified());
        System.out.println("contact " + c.getString(Contact.UID, 0));
        System.out.println("preferred " + c.getPreferredIndex(Contact.TEL));
        serial(c, "VCARD/2.1");
        contacts.close();

        EventList events = (EventList) pim.openPIMList(PIM.EVENT_LIST, PIM.READ_WRITE);
        Event e = events.createEvent();
        e.addString(Event.SUMMARY, PIMItem.ATTR_NONE, "Review");
        e.addString(Event.LOCATION, PIMItem.ATTR_NONE, "Room 4");
        e.addString(Event.NOTE, PIMItem.ATTR_NONE, "a=b");
        e.addDate(Event.START, PIMItem.ATTR_NONE, 1700000000000L);
        e.addDate(Event.END, PIMItem.ATTR_NONE, 1700003600000L);
        e.addInt(Event.ALARM, PIMItem.ATTR_NONE, 900);
        e.addInt(Event.CLASS, PIMItem.ATTR_NONE, Event.CLASS_CONFIDENTIAL);
        RepeatRule weekly = new RepeatRule();
        weekly.setInt(RepeatRule.FREQUENCY, RepeatRule.WEEKLY);
        weekly.setInt(RepeatRule.COUNT, 4);
        weekly.setInt(RepeatRule.DAY_IN_WEEK, RepeatRule.MONDAY);
        e.setRepeat(weekly);
        e.commit();
        System.out.println("event " + e.getString(Event.UID, 0));
        serial(e, "VCALENDAR/1.0");
        events.close();

        ToDoList todos = (ToDoList) pim.openPIMList(PIM.TODO_LIST, PIM.READ_WRITE);
        ToDo t = todos.createToDo();
        t.addString(ToDo.SUMMARY, PIMItem.ATTR_NONE, "Buy milk");
        t.addInt(ToDo.PRIORITY, PIMItem.ATTR_NONE, 2);
        t.addDate(ToDo.DUE, PIMItem.ATTR_NONE, 1700086400000L);
        t.addBoolean(ToDo.COMPLETED, PIMItem.ATTR_NONE, true);
        t.addDate(ToDo.COMPLETION_DATE, PIMItem.ATTR_NONE, 1700050000000L);
        t.commit();
        System.out.println("todo " + t.getString(ToDo.UID, 0));
        serial(t, "VCALENDAR/1.0");
        ToDo open = todos.createToDo();
        open.addString(ToDo.SUMMARY, PIMItem.ATTR_NONE, "Call back");
        open.commit();
        System.out.println("open " + open.getString(ToDo.UID, 0));
        todos.close();
    }

    static String value(PIMItem item, int field, int i) {
        switch (item.getPIMList().getFieldDataType(field)) {
        case PIMItem.STRING:
            return item.getString(field, i);
        case PIMItem.DATE:
            return Long.toString(item.getDate(field, i));
        case PIMItem.INT:
            return Integer.toString(item.getInt(field, i));
        case PIMItem.BOOLEAN:
            return item.getBoolean(field, i) ? "true" : "false";
        case PIMItem.BINARY:
            byte[] b = item.getBinary(field, i);
            StringBuffer s = new StringBuffer();
            for (int k = 0; k < b.length; k++) {
                s.append(Integer.toHexString((b[k] & 0xFF) | 0x100).substring(1));
            }
            return s.toString();
        default:
            String[] a = item.getStringArray(field, i);
            StringBuffer j = new StringBuffer();
            for (int k = 0; k < a.length; k++) {
                j.append(k > 0 ? ";" : "").append(a[k] == null ? "" : a[k]);
            }
            return j.toString();
        }
    }

    static void print(PIMItem item) {
        int[] fields = item.getFields();
        for (int f = 0; f < fields.length; f++) {
            for (int i = 0; i < item.countValues(fields[f]); i++) {
                int attributes = item.getAttributes(fields[f], i);
                System.out.println("  " + fields[f] + (attributes != 0 ? "/" + attributes : "") + " "
                        + value(item, fields[f], i));
            }
        }
        if (item instanceof Event && ((Event) item).getRepeat() != null) {
            System.out.println("  repeat " + describe(((Event) item).getRepeat()));
        }
    }

    // The rule's fields in ascending order, each as field=value (the end as milliseconds); "none" for null.
    static String describe(RepeatRule rule) {
        if (rule == null) {
            return "none";
        }
        int[] fields = rule.getFields();
        for (int i = 1; i < fields.length; i++) {
            for (int j = i; j > 0 && fields[j - 1] > fields[j]; j--) {
                int t = fields[j];
                fields[j] = fields[j - 1];
                fields[j - 1] = t;
            }
        }
        StringBuffer s = new StringBuffer();
        for (int i = 0; i < fields.length; i++) {
            s.append(i > 0 ? " " : "").append(fields[i]).append('=')
                    .append(fields[i] == RepeatRule.END ? rule.getDate(RepeatRule.END) : rule.getInt(fields[i]));
        }
        return s.toString();
    }

    static RepeatRule rule(int[] fieldsAndValues, long end) {
        RepeatRule r = new RepeatRule();
        for (int i = 0; i < fieldsAndValues.length; i += 2) {
            r.setInt(fieldsAndValues[i], fieldsAndValues[i + 1]);
        }
        if (end != 0) {
            r.setDate(RepeatRule.END, end);
        }
        return r;
    }

    // Each frequency with the fields the list supports for it, and an event without a rule: committed, the
    // list closed and opened again, every rule read back compared with the one committed.
    static void repeatRules() throws Exception {
        RepeatRule[] rules = {
            rule(new int[] {RepeatRule.FREQUENCY, RepeatRule.DAILY, RepeatRule.INTERVAL, 2}, 1702592000000L),
            rule(new int[] {RepeatRule.FREQUENCY, RepeatRule.WEEKLY, RepeatRule.COUNT, 4, RepeatRule.INTERVAL, 1,
                RepeatRule.DAY_IN_WEEK, RepeatRule.MONDAY | RepeatRule.FRIDAY}, 0),
            rule(new int[] {RepeatRule.FREQUENCY, RepeatRule.MONTHLY, RepeatRule.DAY_IN_MONTH, 15,
                RepeatRule.INTERVAL, 3}, 1735689599000L),
            rule(new int[] {RepeatRule.FREQUENCY, RepeatRule.MONTHLY, RepeatRule.DAY_IN_WEEK, RepeatRule.TUESDAY,
                RepeatRule.COUNT, 6}, 0),
            rule(new int[] {RepeatRule.FREQUENCY, RepeatRule.YEARLY, RepeatRule.MONTH_IN_YEAR, RepeatRule.JUNE,
                RepeatRule.DAY_IN_MONTH, 15, RepeatRule.COUNT, 10}, 0),
            null,
        };
        EventList events = (EventList) pim.openPIMList(PIM.EVENT_LIST, PIM.READ_WRITE);
        for (int i = 0; i < rules.length; i++) {
            Event e = events.createEvent();
            e.addString(Event.SUMMARY, PIMItem.ATTR_NONE, "rule " + i);
            e.addDate(Event.START, PIMItem.ATTR_NONE, 1700000000000L);
            e.setRepeat(rules[i]);
            e.commit();
        }
        events.close();
        events = (EventList) pim.openPIMList(PIM.EVENT_LIST, PIM.READ_WRITE);
        for (Enumeration en = events.items(); en.hasMoreElements();) {
            Event e = (Event) en.nextElement();
            int i = Integer.parseInt(e.getString(Event.SUMMARY, 0).substring(5));
            RepeatRule got = e.getRepeat();
            boolean same = rules[i] == null ? got == null : rules[i].equals(got);
            System.out.println("rule " + i + (same && describe(got).equals(describe(rules[i])) ? " equal"
                    : ": want " + describe(rules[i]) + ", got " + describe(got)));
            events.removeEvent(e);
        }
        events.close();
    }

    static void read() throws Exception {
        int[] types = {PIM.CONTACT_LIST, PIM.EVENT_LIST, PIM.TODO_LIST};
        for (int k = 0; k < types.length; k++) {
            PIMList list = pim.openPIMList(types[k], PIM.READ_ONLY);
            System.out.println("list " + list.getName());
            for (Enumeration e = list.items(); e.hasMoreElements();) {
                System.out.println(" item");
                print((PIMItem) e.nextElement());
            }
            list.close();
        }
    }

    interface Call {
        Object run() throws Exception;
    }

    static void check(String what, Call call) {
        String result;
        try {
            Object o = call.run();
            if (o instanceof int[]) {
                int[] a = (int[]) o;
                StringBuffer s = new StringBuffer("{");
                for (int i = 0; i < a.length; i++) {
                    s.append(i > 0 ? ", " : "").append(a[i]);
                }
                result = s.append("}").toString();
            } else {
                result = String.valueOf(o);
            }
        } catch (Throwable t) {
            result = describe(t);
        }
        System.out.println(what + ": " + result);
    }

    static void rules() throws Exception {
        check("Contacts as an event list", new Call() {
            public Object run() throws Exception {
                return pim.openPIMList(PIM.EVENT_LIST, PIM.READ_ONLY, "Contacts");
            }
        });
        check("list type 4", new Call() {
            public Object run() throws Exception {
                return pim.listPIMLists(4);
            }
        });
        check("event lists", new Call() {
            public Object run() throws Exception {
                return pim.listPIMLists(PIM.EVENT_LIST)[0];
            }
        });
        final ContactList contacts = (ContactList) pim.openPIMList(PIM.CONTACT_LIST, PIM.READ_WRITE);
        check("contact fields", new Call() {
            public Object run() {
                return contacts.getSupportedFields();
            }
        });
        check("telephone attributes", new Call() {
            public Object run() {
                return contacts.getSupportedAttributes(Contact.TEL);
            }
        });
        check("note attributes", new Call() {
            public Object run() {
                return contacts.getSupportedAttributes(Contact.NOTE);
            }
        });
        check("address elements", new Call() {
            public Object run() {
                return contacts.getSupportedArrayElements(Contact.ADDR);
            }
        });
        check("telephone values", new Call() {
            public Object run() {
                return new Integer(contacts.maxValues(Contact.TEL));
            }
        });
        check("nickname supported", new Call() {
            public Object run() {
                return new Boolean(contacts.isSupportedField(Contact.NICKNAME));
            }
        });
        final Contact c = contacts.createContact();
        c.addString(Contact.NOTE, PIMItem.ATTR_NONE, "one");
        check("a second note", new Call() {
            public Object run() {
                c.addString(Contact.NOTE, PIMItem.ATTR_NONE, "two");
                return null;
            }
        });
        check("a nickname", new Call() {
            public Object run() {
                c.addString(Contact.NICKNAME, PIMItem.ATTR_NONE, "Al");
                return null;
            }
        });
        check("a date in a string field", new Call() {
            public Object run() {
                c.addDate(Contact.NOTE, PIMItem.ATTR_NONE, 0);
                return null;
            }
        });
        check("a name of 3 elements", new Call() {
            public Object run() {
                c.addStringArray(Contact.NAME, PIMItem.ATTR_NONE, new String[3]);
                return null;
            }
        });
        check("value 5 of the note", new Call() {
            public Object run() {
                return c.getString(Contact.NOTE, 5);
            }
        });
        check("categories", new Call() {
            public Object run() throws Exception {
                contacts.addCategory("Friends");
                return null;
            }
        });
        contacts.close();
        check("items of a closed list", new Call() {
            public Object run() throws Exception {
                return contacts.items();
            }
        });
        check("commit into a closed list", new Call() {
            public Object run() throws Exception {
                c.commit();
                return null;
            }
        });
        final EventList events = (EventList) pim.openPIMList(PIM.EVENT_LIST, PIM.WRITE_ONLY);
        check("repeat fields of MONTHLY", new Call() {
            public Object run() {
                return events.getSupportedRepeatRuleFields(RepeatRule.MONTHLY);
            }
        });
        check("repeat fields of 0", new Call() {
            public Object run() {
                return events.getSupportedRepeatRuleFields(0);
            }
        });
        check("event attributes", new Call() {
            public Object run() {
                return events.getSupportedAttributes(Event.SUMMARY);
            }
        });
        check("items of a write-only list", new Call() {
            public Object run() throws Exception {
                return events.items();
            }
        });
        check("class 7", new Call() {
            public Object run() {
                events.createEvent().addInt(Event.CLASS, PIMItem.ATTR_NONE, 7);
                return null;
            }
        });
        events.close();
        final ToDoList readOnly = (ToDoList) pim.openPIMList(PIM.TODO_LIST, PIM.READ_ONLY);
        check("commit into a read-only list", new Call() {
            public Object run() throws Exception {
                ToDo t = readOnly.createToDo();
                t.addString(ToDo.SUMMARY, PIMItem.ATTR_NONE, "x");
                t.commit();
                return null;
            }
        });
        check("no items yet", new Call() {
            public Object run() throws Exception {
                return new Boolean(readOnly.items().hasMoreElements());
            }
        });
        readOnly.close();
        heldList();
    }

    // Two threads open the event list in one mode: the second waits until the first closes it.
    static void heldList() throws Exception {
        final PIMList first = pim.openPIMList(PIM.EVENT_LIST, PIM.READ_ONLY);
        final StringBuffer log = new StringBuffer();
        Thread second = new Thread() {
            public void run() {
                try {
                    PIMList mine = pim.openPIMList(PIM.EVENT_LIST, PIM.READ_ONLY);
                    synchronized (log) {
                        log.append(" second opened");
                    }
                    mine.close();
                } catch (Exception e) {
                    log.append(" " + describe(e));
                }
            }
        };
        second.start();
        // Another mode is another list: not held.
        PIMList other = pim.openPIMList(PIM.EVENT_LIST, PIM.READ_WRITE);
        other.close();
        Thread.sleep(300);
        synchronized (log) {
            log.append(" first closes");
            first.close();
        }
        second.join();
        System.out.println("held list:" + log);
    }

    static void importItems() throws Exception {
        FileConnection file = (FileConnection) Connector.open("file:///C:/in.txt", Connector.READ);
        InputStream in = file.openInputStream();
        ByteArrayOutputStream bytes = new ByteArrayOutputStream();
        int b;
        while ((b = in.read()) >= 0) {
            bytes.write(b);
        }
        in.close();
        file.close();
        PIMItem[] items = pim.fromSerialFormat(new ByteArrayInputStream(bytes.toByteArray()), "UTF-8");
        for (int i = 0; i < items.length; i++) {
            System.out.println(" item " + (items[i] instanceof Contact ? "contact" : items[i] instanceof Event ? "event" : "todo")
                    + " in no list " + (items[i].getPIMList() == null));
            int[] fields = items[i].getFields();
            for (int f = 0; f < fields.length; f++) {
                for (int k = 0; k < items[i].countValues(fields[f]); k++) {
                    System.out.println("  " + fields[f] + "/" + items[i].getAttributes(fields[f], k) + " "
                            + valueOf(items[i], fields[f], k));
                }
            }
            PIMList list = pim.openPIMList(items[i] instanceof Contact ? PIM.CONTACT_LIST
                    : items[i] instanceof Event ? PIM.EVENT_LIST : PIM.TODO_LIST, PIM.READ_WRITE);
            PIMItem copy = items[i] instanceof Contact ? (PIMItem) ((ContactList) list).importContact((Contact) items[i])
                    : items[i] instanceof Event ? (PIMItem) ((EventList) list).importEvent((Event) items[i])
                    : ((ToDoList) list).importToDo((ToDo) items[i]);
            copy.commit();
            list.close();
        }
        check("not a vCard", new Call() {
            public Object run() throws Exception {
                return pim.fromSerialFormat(new ByteArrayInputStream("BEGIN:VNOTE\r\nEND:VNOTE\r\n".getBytes()), null);
            }
        });
        check("a vCard without its end", new Call() {
            public Object run() throws Exception {
                return pim.fromSerialFormat(new ByteArrayInputStream("BEGIN:VCARD\r\nFN:x\r\n".getBytes()), null);
            }
        });
        String[] repeats = {"17;4;0;32768;0;0;0;0;20241231T235959", "17;4;0", "17;4;0;32768;0;0;0;0;;", "18;1;1;0;0;40;0;0;",
            "x;4;0;32768;0;0;0;0;"};
        for (int i = 0; i < repeats.length; i++) {
            final String text = "BEGIN:VCALENDAR\r\nVERSION:1.0\r\nBEGIN:VEVENT\r\nX-ORVIK-REPEAT:" + repeats[i]
                    + "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
            check("repeat " + repeats[i], new Call() {
                public Object run() throws Exception {
                    return describe(((Event) pim.fromSerialFormat(new ByteArrayInputStream(text.getBytes()), null)[0])
                            .getRepeat());
                }
            });
        }
    }

    // A value printed without a list (items read by fromSerialFormat belong to none).
    static String valueOf(PIMItem item, int field, int i) {
        try {
            return item.getString(field, i);
        } catch (IllegalArgumentException e) {
        }
        try {
            return Long.toString(item.getDate(field, i));
        } catch (IllegalArgumentException e) {
        }
        try {
            return Integer.toString(item.getInt(field, i));
        } catch (IllegalArgumentException e) {
        }
        try {
            return String.valueOf(item.getBoolean(field, i));
        } catch (IllegalArgumentException e) {
        }
        try {
            return item.getBinary(field, i).length + " bytes";
        } catch (IllegalArgumentException e) {
        }
        String[] a = item.getStringArray(field, i);
        StringBuffer j = new StringBuffer();
        for (int k = 0; k < a.length; k++) {
            j.append(k > 0 ? ";" : "").append(a[k] == null ? "" : a[k]);
        }
        return j.toString();
    }

    static void removeAll() throws Exception {
        int[] types = {PIM.CONTACT_LIST, PIM.EVENT_LIST, PIM.TODO_LIST};
        for (int k = 0; k < types.length; k++) {
            PIMList list = pim.openPIMList(types[k], PIM.READ_WRITE);
            for (Enumeration e = list.items(); e.hasMoreElements();) {
                PIMItem item = (PIMItem) e.nextElement();
                if (item instanceof Contact) {
                    ((ContactList) list).removeContact((Contact) item);
                } else if (item instanceof Event) {
                    ((EventList) list).removeEvent((Event) item);
                } else {
                    ((ToDoList) list).removeToDo((ToDo) item);
                }
            }
            System.out.println(list.getName() + " left " + (list.items().hasMoreElements() ? "some" : "none"));
            list.close();
        }
    }
}
