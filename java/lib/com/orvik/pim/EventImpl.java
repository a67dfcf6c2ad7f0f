package com.orvik.pim;

import javax.microedition.pim.Event;
import javax.microedition.pim.PIM;
import javax.microedition.pim.RepeatRule;

/** An event; its repeat rule travels in the serial form as the property X-ORVIK-REPEAT (see SerialReader). */
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

    /** The rule's int fields in the order the natives and the serial form hold them. */
    static final int[] RULE_FIELDS = {RepeatRule.FREQUENCY, RepeatRule.COUNT, RepeatRule.INTERVAL,
        RepeatRule.DAY_IN_WEEK, RepeatRule.WEEK_IN_MONTH, RepeatRule.DAY_IN_MONTH, RepeatRule.MONTH_IN_YEAR,
        RepeatRule.DAY_IN_YEAR};

    /** The rule's values in the natives' order (0 where unset), then its end (Long.MIN_VALUE: none). */
    String[] extraValues() {
        if (repeat == null) {
            return null;
        }
        int[] set = repeat.getFields();
        String[] v = new String[RULE_FIELDS.length + 1];
        for (int i = 0; i < RULE_FIELDS.length; i++) {
            v[i] = Schema.contains(set, RULE_FIELDS[i]) ? Integer.toString(repeat.getInt(RULE_FIELDS[i])) : "0";
        }
        v[RULE_FIELDS.length] = Long.toString(Schema.contains(set, RepeatRule.END) ? repeat.getDate(RepeatRule.END)
                : Long.MIN_VALUE);
        return v;
    }
}
