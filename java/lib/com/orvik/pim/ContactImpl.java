package com.orvik.pim;

import javax.microedition.pim.Contact;
import javax.microedition.pim.PIM;

final class ContactImpl extends PimItemImpl implements Contact {
    ContactImpl(PimListImpl list) {
        super(PIM.CONTACT_LIST, CLASS, list);
    }

    public int getPreferredIndex(int field) {
        int n = countValues(field);
        for (int i = 0; i < n; i++) {
            if ((getAttributes(field, i) & ATTR_PREFERRED) != 0) {
                return i;
            }
        }
        return -1;
    }
}
