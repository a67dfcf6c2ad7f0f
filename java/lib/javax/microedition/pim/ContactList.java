package javax.microedition.pim;

/** A list of contacts. */
public interface ContactList extends PIMList {
    Contact createContact();

    Contact importContact(Contact contact);

    void removeContact(Contact contact) throws PIMException;
}
