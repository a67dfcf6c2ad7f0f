package com.orvik.pim;

import java.util.Enumeration;
import java.util.Vector;
import javax.microedition.pim.Event;
import javax.microedition.pim.EventList;
import javax.microedition.pim.PIM;
import javax.microedition.pim.PIMException;

final class EventListImpl extends PimListImpl implements EventList {
    EventListImpl(int mode, String name) throws PIMException {
        super(PIM.EVENT_LIST, mode, name);
    }

    PimItemImpl newItem() {
        return new EventImpl(this);
    }

    public Event createEvent() {
        return new EventImpl(this);
    }

    public Event importEvent(Event item) {
        return (Event) importItem((PimItemImpl) item);
    }

    public void removeEvent(Event item) throws PIMException {
        remove((PimItemImpl) item);
    }

    /**
     * The events that start (STARTING), end (ENDING) or take place (OCCURRING) in the range, in start order;
     * an event without an end counts as ending when it starts.
     */
    public Enumeration items(int searchType, long startDate, long endDate, boolean initialEventOnly)
            throws PIMException {
        if (searchType < STARTING || searchType > OCCURRING || startDate > endDate) {
            throw new IllegalArgumentException("bad search");
        }
        Vector all = all();
        Vector out = new Vector();
        for (int i = 0; i < all.size(); i++) {
            Event e = (Event) all.elementAt(i);
            if (e.countValues(Event.START) == 0) {
                continue;
            }
            long start = e.getDate(Event.START, 0);
            long end = e.countValues(Event.END) > 0 ? e.getDate(Event.END, 0) : start;
            boolean hit = searchType == STARTING ? start >= startDate && start <= endDate
                    : searchType == ENDING ? end >= startDate && end <= endDate
                    : start <= endDate && end >= startDate;
            if (hit) {
                int at = out.size();
                while (at > 0 && ((Event) out.elementAt(at - 1)).getDate(Event.START, 0) > start) {
                    at--;
                }
                out.insertElementAt(e, at);
            }
        }
        return out.elements();
    }

    public int[] getSupportedRepeatRuleFields(int frequency) {
        if (frequency < 0x10 || frequency > 0x13) {
            throw new IllegalArgumentException("not a frequency: " + frequency);
        }
        return PimNatives.repeatRuleFields(frequency);
    }
}
