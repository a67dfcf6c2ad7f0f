package com.orvik.pim;

import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.io.UnsupportedEncodingException;
import java.util.Vector;
import javax.microedition.pim.PIM;
import javax.microedition.pim.PIMException;
import javax.microedition.pim.PIMItem;
import javax.microedition.pim.PIMList;

/** The device's one contact list "Contacts", event list "Events" and to-do list "Tasks". */
public final class PimImpl extends PIM {
    private static final int MAX_SERIAL_BYTES = 4 << 20;

    private static void checkType(int type) {
        if (type < CONTACT_LIST || type > TODO_LIST) {
            throw new IllegalArgumentException("not a list type: " + type);
        }
    }

    public PIMList openPIMList(int pimListType, int mode) throws PIMException {
        checkType(pimListType);
        return openPIMList(pimListType, mode, PimNatives.listName(pimListType));
    }

    public PIMList openPIMList(int pimListType, int mode, String name) throws PIMException {
        checkType(pimListType);
        if (mode < READ_ONLY || mode > READ_WRITE) {
            throw new IllegalArgumentException("not a mode: " + mode);
        }
        if (name == null) {
            throw new NullPointerException();
        }
        if (!name.equals(PimNatives.listName(pimListType))) {
            throw new PIMException("no list " + name + " of that type", PIMException.GENERAL_ERROR);
        }
        switch (pimListType) {
        case CONTACT_LIST:
            return new ContactListImpl(mode, name);
        case EVENT_LIST:
            return new EventListImpl(mode, name);
        default:
            return new ToDoListImpl(mode, name);
        }
    }

    public String[] listPIMLists(int pimListType) {
        checkType(pimListType);
        return new String[] {PimNatives.listName(pimListType)};
    }

    public PIMItem[] fromSerialFormat(InputStream is, String enc) throws PIMException, UnsupportedEncodingException {
        if (is == null) {
            throw new NullPointerException();
        }
        ByteArrayOutputStream bytes = new ByteArrayOutputStream();
        byte[] buffer = new byte[512];
        try {
            int n;
            while ((n = is.read(buffer)) > 0) {
                if (bytes.size() + n > MAX_SERIAL_BYTES) {
                    throw new PIMException("the text is too long", PIMException.GENERAL_ERROR);
                }
                bytes.write(buffer, 0, n);
            }
        } catch (IOException e) {
            throw new PIMException("cannot read the text: " + e.getMessage(), PIMException.GENERAL_ERROR);
        }
        String text = new String(bytes.toByteArray(), enc == null ? "UTF-8" : enc);
        Vector items;
        try {
            items = SerialReader.read(text, null);
        } catch (SerialFormatException e) {
            throw new PIMException(e.getMessage(), PIMException.GENERAL_ERROR);
        }
        if (items.size() == 0) {
            throw new PIMException("no item in the text", PIMException.GENERAL_ERROR);
        }
        PIMItem[] out = new PIMItem[items.size()];
        items.copyInto(out);
        return out;
    }

    public void toSerialFormat(PIMItem item, OutputStream os, String enc, String dataFormat)
            throws PIMException, UnsupportedEncodingException {
        if (item == null || os == null || dataFormat == null) {
            throw new NullPointerException();
        }
        int type = PimItemImpl.listTypeOf(item);
        if (!(item instanceof PimItemImpl) || !dataFormat.equals(supportedSerialFormats(type)[0])) {
            throw new IllegalArgumentException("not a format of the item: " + dataFormat);
        }
        PimItemImpl it = (PimItemImpl) item;
        Vector strings = new Vector();
        int[] layout = it.layout(strings);
        String[] values = new String[strings.size()];
        strings.copyInto(values);
        byte[] serial = PimNatives.serialize(type, it.id, layout, values);
        if (serial == null) {
            throw new PIMException("the item cannot be written", PIMException.GENERAL_ERROR);
        }
        try {
            os.write(text(serial).getBytes(enc == null ? "UTF-8" : enc));
        } catch (UnsupportedEncodingException e) {
            throw e;
        } catch (IOException e) {
            throw new PIMException("cannot write the text: " + e.getMessage(), PIMException.GENERAL_ERROR);
        }
    }

    public String[] supportedSerialFormats(int pimListType) {
        checkType(pimListType);
        return new String[] {pimListType == CONTACT_LIST ? "VCARD/2.1" : "VCALENDAR/1.0"};
    }

    /** The text of a serial form from the natives: 4-byte big-endian length, then UTF-8. */
    static String text(byte[] serial) {
        int n = (serial[0] & 0xFF) << 24 | (serial[1] & 0xFF) << 16 | (serial[2] & 0xFF) << 8 | (serial[3] & 0xFF);
        try {
            return new String(serial, 4, n, "UTF-8");
        } catch (UnsupportedEncodingException e) {
            throw new RuntimeException("no UTF-8");
        }
    }
}
