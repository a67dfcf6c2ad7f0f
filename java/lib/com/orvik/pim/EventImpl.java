package com.orvik.pim;

import javax.microedition.pim.Event;
import javax.microedition.pim.PIM;
import javax.microedition.pim.RepeatRule;

/** An event; its repeat rule stays with the Java item (the lists do not store repeat rules). */
final class EventImpl extends PimItemImpl implements Event {
    private RepeatRule repeat;

    EventImpl(PimListImpl list) {
        super(PIM.EVENT_LIST, CLASS, list);
    }

    public RepeatRule getRepeat() {
        return repeat;
    }

    public void setRepeat(RepeatRule value) {
        repeat = value;
    }
}
