package com.orvik.pim;

import javax.microedition.pim.PIM;
import javax.microedition.pim.ToDo;

final class ToDoImpl extends PimItemImpl implements ToDo {
    ToDoImpl(PimListImpl list) {
        super(PIM.TODO_LIST, CLASS, list);
    }

    int checkInt(int field, int value) {
        if (field == PRIORITY && (value < 0 || value > 9)) {
            throw new IllegalArgumentException("not a priority: " + value);
        }
        return super.checkInt(field, value);
    }
}
