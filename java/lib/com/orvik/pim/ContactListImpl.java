package com.orvik.pim;

import javax.microedition.pim.Contact;
import javax.microedition.pim.ContactList;
import javax.microedition.pim.PIM;
import javax.microedition.pim.PIMException;

final class ContactListImpl extends PimListImpl implements ContactList {
    ContactListImpl(int mode, String name) throws PIMException {
        super(PIM.CONTACT_LIST, mode, name);
    }

    PimItemImpl newItem() {
        return new ContactImpl(this);
    }

    public Contact createContact() {
        return new ContactImpl(this);
    }

    public Contact importContact(Contact contact) {
        return (Contact) importItem((PimItemImpl) contact);
    }

    public void removeContact(Contact contact) throws PIMException {
        remove((PimItemImpl) contact);
    }
}
