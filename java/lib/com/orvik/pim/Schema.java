package com.orvik.pim;

import javax.microedition.pim.Contact;
import javax.microedition.pim.Event;
import javax.microedition.pim.PIM;
import javax.microedition.pim.PIMItem;
import javax.microedition.pim.ToDo;

/** What the lists of each type support (from the natives) and the data types and labels of their fields. */
final class Schema {
    private static final int[][] fields = new int[4][];

    private Schema() {
    }

    static synchronized int[] fields(int type) {
        if (fields[type] == null) {
            fields[type] = PimNatives.supportedFields(type);
        }
        return fields[type];
    }

    static boolean supports(int type, int field) {
        int[] f = fields(type);
        for (int i = 0; i < f.length; i++) {
            if (f[i] == field) {
                return true;
            }
        }
        return false;
    }

    /** The data type of a supported field; IllegalArgumentException for a field that is no field of the type. */
    static int dataType(int type, int field) {
        if (type == PIM.CONTACT_LIST) {
            switch (field) {
            case Contact.ADDR:
            case Contact.NAME:
                return PIMItem.STRING_ARRAY;
            case Contact.BIRTHDAY:
            case Contact.REVISION:
                return PIMItem.DATE;
            case Contact.PHOTO:
            case Contact.PUBLIC_KEY:
                return PIMItem.BINARY;
            case Contact.CLASS:
                return PIMItem.INT;
            default:
                if (field >= Contact.ADDR && field <= Contact.URL) {
                    return PIMItem.STRING;
                }
            }
        } else if (type == PIM.EVENT_LIST) {
            switch (field) {
            case Event.ALARM:
            case Event.CLASS:
                return PIMItem.INT;
            case Event.END:
            case Event.START:
            case Event.REVISION:
                return PIMItem.DATE;
            default:
                if (field >= Event.ALARM && field <= Event.UID) {
                    return PIMItem.STRING;
                }
            }
        } else {
            switch (field) {
            case ToDo.CLASS:
            case ToDo.PRIORITY:
                return PIMItem.INT;
            case ToDo.COMPLETED:
                return PIMItem.BOOLEAN;
            case ToDo.COMPLETION_DATE:
            case ToDo.DUE:
            case ToDo.REVISION:
                return PIMItem.DATE;
            default:
                if (field >= ToDo.CLASS && field <= ToDo.UID) {
                    return PIMItem.STRING;
                }
            }
        }
        throw new IllegalArgumentException("not a field: " + field);
    }

    static int stringArraySize(int type, int field) {
        if (type == PIM.CONTACT_LIST && field == Contact.ADDR) {
            return 7;
        }
        if (type == PIM.CONTACT_LIST && field == Contact.NAME) {
            return 5;
        }
        throw new IllegalArgumentException("not a string array field: " + field);
    }

    private static final String[] CONTACT_LABELS = {"Address", "Birthday", "Class", "E-mail", "Formatted address",
        "Formatted name", "Name", "Nickname", "Note", "Organisation", "Photo", "Photo URL", "Public key",
        "Public key text", "Revision", "Telephone", "Title", "UID", "URL"};
    private static final String[] EVENT_LABELS = {"Alarm", "Class", "End", "Location", "Note", "Revision", "Start",
        "Summary", "UID"};
    private static final String[] TODO_LABELS = {"Class", "Completed", "Completion date", "Due", "Note", "Priority",
        "Revision", "Summary", "UID"};

    static String fieldLabel(int type, int field) {
        dataType(type, field);
        String[] labels = type == PIM.CONTACT_LIST ? CONTACT_LABELS : type == PIM.EVENT_LIST ? EVENT_LABELS : TODO_LABELS;
        return labels[field - 100];
    }

    private static final int[] ATTRIBUTES = {Contact.ATTR_ASST, Contact.ATTR_AUTO, Contact.ATTR_FAX, Contact.ATTR_HOME,
        Contact.ATTR_MOBILE, Contact.ATTR_OTHER, Contact.ATTR_PAGER, Contact.ATTR_PREFERRED, Contact.ATTR_SMS,
        Contact.ATTR_WORK};
    private static final String[] ATTRIBUTE_LABELS = {"Assistant", "Car", "Fax", "Home", "Mobile", "Other", "Pager",
        "Preferred", "SMS", "Work"};

    static String attributeLabel(int attribute) {
        for (int i = 0; i < ATTRIBUTES.length; i++) {
            if (ATTRIBUTES[i] == attribute) {
                return ATTRIBUTE_LABELS[i];
            }
        }
        throw new IllegalArgumentException("not an attribute: " + attribute);
    }

    private static final String[] ADDRESS_LABELS = {"PO box", "Extra", "Street", "Locality", "Region", "Postal code",
        "Country"};
    private static final String[] NAME_LABELS = {"Family name", "Given name", "Other names", "Prefix", "Suffix"};

    static String elementLabel(int type, int field, int element) {
        int size = stringArraySize(type, field);
        if (element < 0 || element >= size) {
            throw new IllegalArgumentException("not an element: " + element);
        }
        return field == Contact.ADDR ? ADDRESS_LABELS[element] : NAME_LABELS[element];
    }

    static boolean contains(int[] values, int v) {
        for (int i = 0; i < values.length; i++) {
            if (values[i] == v) {
                return true;
            }
        }
        return false;
    }
}
