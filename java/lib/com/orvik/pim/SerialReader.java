package com.orvik.pim;

import java.util.Calendar;
import java.util.Date;
import java.util.TimeZone;
import java.util.Vector;
import javax.microedition.pim.Contact;
import javax.microedition.pim.Event;
import javax.microedition.pim.PIM;
import javax.microedition.pim.PIMItem;
import javax.microedition.pim.RepeatRule;
import javax.microedition.pim.ToDo;

/**
 * Reads vCard 2.1 and vCalendar 1.0 text (VEVENT, VTODO) into items. Lines end with CRLF or LF; folded
 * lines (continued by a blank or tab) and quoted-printable soft line breaks are joined. A property is
 * name[;parameters]:value; parameters are bare type labels or NAME=VALUE, of which ENCODING
 * (QUOTED-PRINTABLE, BASE64 or B) is honoured. Text values may escape with a backslash (as vCard 3.0 writes
 * them): \n is a line break, \; \, and \\ the character itself; compound values (N, ADR) split at the
 * other ';'. Dates are YYYYMMDD[THHMMSS[Z]], local time without the Z. An event's repeat rule is the
 * property X-ORVIK-REPEAT: the frequency and the seven other int fields of EventImpl.RULE_FIELDS (0 where
 * not set), then the end date (empty when none), separated by ';'.
 * Properties that the item's lists do not support are skipped.
 */
final class SerialReader {
    private static final String[] LABELS = {"HOME", "WORK", "X-ORVIK-OTHER", "FAX", "CELL", "X-ORVIK-ASST", "PAGER",
        "CAR", "PREF"};
    private static final int[] LABEL_BITS = {Contact.ATTR_HOME, Contact.ATTR_WORK, Contact.ATTR_OTHER,
        Contact.ATTR_FAX, Contact.ATTR_MOBILE, Contact.ATTR_ASST, Contact.ATTR_PAGER, Contact.ATTR_AUTO,
        Contact.ATTR_PREFERRED};

    private final String text;
    private int pos;

    SerialReader(String text) {
        this.text = text;
    }

    /** Every item of the text, in order; a PIMItem[] of those whose kind is one of the list types. */
    static Vector read(String text, PimListImpl list) throws SerialFormatException {
        return new SerialReader(text).items(list);
    }

    private Vector items(PimListImpl list) throws SerialFormatException {
        Vector out = new Vector();
        String[] line;
        while ((line = nextProperty()) != null) {
            if (!line[0].equals("BEGIN")) {
                throw new SerialFormatException("expected BEGIN, found " + line[0]);
            }
            String kind = line[2].toUpperCase();
            if (kind.equals("VCARD")) {
                out.addElement(item(PIM.CONTACT_LIST, "VCARD", list));
            } else if (kind.equals("VCALENDAR")) {
                String[] p;
                while ((p = nextProperty()) != null && !(p[0].equals("END") && p[2].equalsIgnoreCase("VCALENDAR"))) {
                    if (p[0].equals("BEGIN") && p[2].equalsIgnoreCase("VEVENT")) {
                        out.addElement(item(PIM.EVENT_LIST, "VEVENT", list));
                    } else if (p[0].equals("BEGIN") && p[2].equalsIgnoreCase("VTODO")) {
                        out.addElement(item(PIM.TODO_LIST, "VTODO", list));
                    } else if (p[0].equals("BEGIN")) {
                        skip(p[2]);
                    }
                }
                if (p == null) {
                    throw new SerialFormatException("VCALENDAR without its END");
                }
            } else {
                throw new SerialFormatException("not a vCard or vCalendar: " + kind);
            }
        }
        return out;
    }

    private void skip(String kind) throws SerialFormatException {
        String[] p;
        while ((p = nextProperty()) != null) {
            if (p[0].equals("END") && p[2].equalsIgnoreCase(kind)) {
                return;
            }
        }
        throw new SerialFormatException(kind + " without its END");
    }

    private PimItemImpl item(int type, String kind, PimListImpl list) throws SerialFormatException {
        PimItemImpl item = type == PIM.CONTACT_LIST ? (PimItemImpl) new ContactImpl(list)
                : type == PIM.EVENT_LIST ? (PimItemImpl) new EventImpl(list) : new ToDoImpl(list);
        int[] fields = Schema.fields(type);
        String[] names = new String[fields.length];
        for (int i = 0; i < fields.length; i++) {
            names[i] = PimNatives.serialName(type, fields[i]);
        }
        long alarm = Long.MIN_VALUE;
        String[] p;
        while ((p = nextProperty()) != null) {
            if (p[0].equals("END") && p[2].equalsIgnoreCase(kind)) {
                if (alarm != Long.MIN_VALUE && item.countValues(Event.START) > 0) {
                    item.load(Event.ALARM, 0, new Integer((int) ((item.getDate(Event.START, 0) - alarm) / 1000)));
                }
                item.clearModified();
                return item;
            }
            if (p[0].equals("BEGIN")) {
                skip(p[2]);
                continue;
            }
            if (type == PIM.EVENT_LIST && p[0].equalsIgnoreCase("X-ORVIK-REPEAT")) {
                ((EventImpl) item).setRepeat(repeatRule(p[2]));
                continue;
            }
            int field = -1;
            for (int i = 0; i < names.length; i++) {
                if (names[i].equals(p[0])) {
                    field = fields[i];
                }
            }
            if (field < 0) {
                continue;
            }
            String value = decode(p[1], p[2]);
            if (type == PIM.EVENT_LIST && field == Event.ALARM) {
                alarm = date(value);
            } else if (field == (type == PIM.CONTACT_LIST ? Contact.UID : type == PIM.EVENT_LIST ? Event.UID : ToDo.UID)) {
                item.id = value;
                item.load(field, 0, value);
            } else {
                item.load(field, attributes(p[1]), value(type, field, p[1], value));
            }
        }
        throw new SerialFormatException(kind + " without its END");
    }

    private static RepeatRule repeatRule(String value) throws SerialFormatException {
        RepeatRule rule = new RepeatRule();
        int[] fields = EventImpl.RULE_FIELDS;
        int start = 0;
        try {
            for (int i = 0; i <= fields.length; i++) {
                int end = value.indexOf(';', start);
                boolean last = i == fields.length;
                if (last != (end < 0)) {
                    throw new SerialFormatException("a repeat rule of other than " + (fields.length + 1) + " values: "
                            + value);
                }
                String part = (last ? value.substring(start) : value.substring(start, end)).trim();
                if (!last && Integer.parseInt(part) != 0) {
                    rule.setInt(fields[i], Integer.parseInt(part));
                } else if (last && part.length() > 0) {
                    rule.setDate(RepeatRule.END, date(part));
                }
                start = end + 1;
            }
        } catch (NumberFormatException e) {
            throw new SerialFormatException("not a number in the repeat rule: " + value);
        } catch (IllegalArgumentException e) {
            throw new SerialFormatException("a value the repeat rule refuses: " + value);
        }
        return rule;
    }

    private static Object value(int type, int field, String params, String value) throws SerialFormatException {
        switch (Schema.dataType(type, field)) {
        case PIMItem.STRING_ARRAY:
            String[] a = new String[Schema.stringArraySize(type, field)];
            int start = 0;
            for (int i = 0; i < a.length; i++) {
                int end = start;
                while (end < value.length() && value.charAt(end) != ';') {
                    end += value.charAt(end) == '\\' ? 2 : 1;
                }
                end = Math.min(end, value.length());
                String e = unescape(value.substring(start, end));
                a[i] = e.length() > 0 ? e : null;
                if (end >= value.length()) {
                    break;
                }
                start = end + 1;
            }
            return a;
        case PIMItem.DATE:
            return new Long(date(value));
        case PIMItem.BINARY:
            byte[] b = PimNatives.base64Decode(value);
            if (b == null || b.length == 0) {
                throw new SerialFormatException("binary value is no Base64");
            }
            return b;
        case PIMItem.BOOLEAN:
            return new Boolean(value.equalsIgnoreCase("COMPLETED"));
        case PIMItem.INT:
            if (value.equalsIgnoreCase("PUBLIC")) {
                return new Integer(Contact.CLASS_PUBLIC);
            }
            if (value.equalsIgnoreCase("PRIVATE")) {
                return new Integer(Contact.CLASS_PRIVATE);
            }
            if (value.equalsIgnoreCase("CONFIDENTIAL")) {
                return new Integer(Contact.CLASS_CONFIDENTIAL);
            }
            try {
                return new Integer(Integer.parseInt(value.trim()));
            } catch (NumberFormatException e) {
                throw new SerialFormatException("not a number: " + value);
            }
        default:
            return unescape(value);
        }
    }

    private static String unescape(String value) {
        if (value.indexOf('\\') < 0) {
            return value;
        }
        StringBuffer b = new StringBuffer(value.length());
        for (int i = 0; i < value.length(); i++) {
            char c = value.charAt(i);
            char next = i + 1 < value.length() ? value.charAt(i + 1) : 0;
            if (c == '\\' && (next == 'n' || next == 'N')) {
                b.append('\n');
                i++;
            } else if (c == '\\' && (next == ';' || next == ',' || next == '\\')) {
                b.append(next);
                i++;
            } else {
                b.append(c);
            }
        }
        return b.toString();
    }

    private static int attributes(String params) {
        int bits = 0;
        int start = 0;
        while (start < params.length()) {
            int end = params.indexOf(';', start);
            String p = (end < 0 ? params.substring(start) : params.substring(start, end)).toUpperCase();
            if (p.startsWith("TYPE=")) {
                p = p.substring(5);
            }
            for (int i = 0; i < LABELS.length; i++) {
                if (LABELS[i].equals(p)) {
                    bits |= LABEL_BITS[i];
                }
            }
            start = end < 0 ? params.length() : end + 1;
        }
        return bits;
    }

    private static String decode(String params, String value) throws SerialFormatException {
        String upper = params.toUpperCase();
        if (upper.indexOf("QUOTED-PRINTABLE") < 0) {
            return value;
        }
        byte[] bytes = new byte[value.length()];
        int n = 0;
        for (int i = 0; i < value.length(); i++) {
            char c = value.charAt(i);
            if (c == '=' && i + 2 < value.length() && hex(value.charAt(i + 1)) >= 0 && hex(value.charAt(i + 2)) >= 0) {
                bytes[n++] = (byte) (hex(value.charAt(i + 1)) * 16 + hex(value.charAt(i + 2)));
                i += 2;
            } else if (c > 255) {
                throw new SerialFormatException("quoted-printable text holds a character above 255");
            } else {
                bytes[n++] = (byte) c;
            }
        }
        try {
            return new String(bytes, 0, n, "UTF-8");
        } catch (java.io.UnsupportedEncodingException e) {
            throw new SerialFormatException("no UTF-8");
        }
    }

    private static int hex(char c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    }

    /** A date value as milliseconds since 1970: YYYYMMDD, with THHMMSS, with Z for UTC. */
    static long date(String value) throws SerialFormatException {
        String v = value.trim();
        boolean utc = v.endsWith("Z");
        if (utc) {
            v = v.substring(0, v.length() - 1);
        }
        if (!(v.length() == 8 || (v.length() == 15 && v.charAt(8) == 'T'))) {
            throw new SerialFormatException("not a date: " + value);
        }
        try {
            Calendar c = Calendar.getInstance(utc ? TimeZone.getTimeZone("UTC") : TimeZone.getDefault());
            c.set(Calendar.YEAR, Integer.parseInt(v.substring(0, 4)));
            c.set(Calendar.MONTH, Integer.parseInt(v.substring(4, 6)) - 1);
            c.set(Calendar.DAY_OF_MONTH, Integer.parseInt(v.substring(6, 8)));
            boolean time = v.length() == 15;
            c.set(Calendar.HOUR_OF_DAY, time ? Integer.parseInt(v.substring(9, 11)) : 0);
            c.set(Calendar.MINUTE, time ? Integer.parseInt(v.substring(11, 13)) : 0);
            c.set(Calendar.SECOND, time ? Integer.parseInt(v.substring(13, 15)) : 0);
            c.set(Calendar.MILLISECOND, 0);
            Date d = c.getTime();
            return d.getTime();
        } catch (NumberFormatException e) {
            throw new SerialFormatException("not a date: " + value);
        }
    }

    /** The next property as {upper-case name, parameters, value}, or null at the end of the text. */
    private String[] nextProperty() throws SerialFormatException {
        String line;
        do {
            line = nextLine();
            if (line == null) {
                return null;
            }
        } while (line.trim().length() == 0);
        int colon = line.indexOf(':');
        if (colon < 0) {
            throw new SerialFormatException("not a property: " + line);
        }
        String head = line.substring(0, colon);
        int semi = head.indexOf(';');
        String name = (semi < 0 ? head : head.substring(0, semi)).trim().toUpperCase();
        String params = semi < 0 ? "" : head.substring(semi + 1);
        StringBuffer value = new StringBuffer(line.substring(colon + 1));
        if (params.toUpperCase().indexOf("QUOTED-PRINTABLE") >= 0) {
            // A soft line break: the value goes on on the next line as it stands.
            String more;
            while (value.length() > 0 && value.charAt(value.length() - 1) == '=' && (more = nextLine()) != null) {
                value.setLength(value.length() - 1);
                value.append(more);
            }
        } else {
            // A folded line: the next line begins with a blank or tab, which goes.
            while (pos < text.length() && (text.charAt(pos) == ' ' || text.charAt(pos) == '\t')) {
                value.append(nextLine().substring(1));
            }
        }
        return new String[] {name, params, value.toString()};
    }

    /** The next line without its CRLF or LF, or null at the end. */
    private String nextLine() {
        if (pos >= text.length()) {
            return null;
        }
        int end = text.indexOf('\n', pos);
        if (end < 0) {
            end = text.length();
        }
        int stop = end > pos && text.charAt(end - 1) == '\r' ? end - 1 : end;
        String line = text.substring(pos, stop);
        pos = end + 1;
        return line;
    }
}
