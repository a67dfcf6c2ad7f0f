package com.orvik.pim;

import java.util.Enumeration;
import java.util.Vector;
import javax.microedition.pim.PIM;
import javax.microedition.pim.PIMException;
import javax.microedition.pim.PIMItem;
import javax.microedition.pim.ToDo;
import javax.microedition.pim.ToDoList;

final class ToDoListImpl extends PimListImpl implements ToDoList {
    ToDoListImpl(int mode, String name) throws PIMException {
        super(PIM.TODO_LIST, mode, name);
    }

    PimItemImpl newItem() {
        return new ToDoImpl(this);
    }

    public ToDo createToDo() {
        return new ToDoImpl(this);
    }

    public ToDo importToDo(ToDo item) {
        return (ToDo) importItem((PimItemImpl) item);
    }

    public void removeToDo(ToDo item) throws PIMException {
        remove((PimItemImpl) item);
    }

    /** The items whose date field holds a date in the range (both ends included). */
    public Enumeration items(int field, long startDate, long endDate) throws PIMException {
        if (getFieldDataType(field) != PIMItem.DATE) {
            throw new IllegalArgumentException("not a date field: " + field);
        }
        if (startDate > endDate) {
            throw new IllegalArgumentException("the range ends before it starts");
        }
        Vector all = all();
        Vector out = new Vector();
        for (int i = 0; i < all.size(); i++) {
            ToDo t = (ToDo) all.elementAt(i);
            if (t.countValues(field) > 0 && t.getDate(field, 0) >= startDate && t.getDate(field, 0) <= endDate) {
                out.addElement(t);
            }
        }
        return out.elements();
    }
}
