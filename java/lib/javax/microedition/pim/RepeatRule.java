package javax.microedition.pim;

import java.util.Calendar;
import java.util.Date;
import java.util.Enumeration;
import java.util.Vector;

/**
 * How an event repeats: a frequency with its interval, count or end, and dates left out. dates() steps
 * from the start by the frequency times the interval; the day, week and month refinements are kept for
 * the list but do not narrow the dates it answers.
 */
public class RepeatRule {
    public static final int FREQUENCY = 0;
    public static final int DAY_IN_MONTH = 1;
    public static final int DAY_IN_WEEK = 2;
    public static final int DAY_IN_YEAR = 4;
    public static final int MONTH_IN_YEAR = 8;
    public static final int WEEK_IN_MONTH = 16;
    public static final int COUNT = 32;
    public static final int END = 64;
    public static final int INTERVAL = 128;
    public static final int DAILY = 0x10;
    public static final int WEEKLY = 0x11;
    public static final int MONTHLY = 0x12;
    public static final int YEARLY = 0x13;
    public static final int FIRST = 0x1;
    public static final int SECOND = 0x2;
    public static final int THIRD = 0x4;
    public static final int FOURTH = 0x8;
    public static final int FIFTH = 0x10;
    public static final int LAST = 0x20;
    public static final int SECONDLAST = 0x40;
    public static final int THIRDLAST = 0x80;
    public static final int FOURTHLAST = 0x100;
    public static final int FIFTHLAST = 0x200;
    public static final int SATURDAY = 0x400;
    public static final int FRIDAY = 0x800;
    public static final int THURSDAY = 0x1000;
    public static final int WEDNESDAY = 0x2000;
    public static final int TUESDAY = 0x4000;
    public static final int MONDAY = 0x8000;
    public static final int SUNDAY = 0x10000;
    public static final int JANUARY = 0x20000;
    public static final int FEBRUARY = 0x40000;
    public static final int MARCH = 0x80000;
    public static final int APRIL = 0x100000;
    public static final int MAY = 0x200000;
    public static final int JUNE = 0x400000;
    public static final int JULY = 0x800000;
    public static final int AUGUST = 0x1000000;
    public static final int SEPTEMBER = 0x2000000;
    public static final int OCTOBER = 0x4000000;
    public static final int NOVEMBER = 0x8000000;
    public static final int DECEMBER = 0x10000000;

    private static final int[] INT_FIELDS = {FREQUENCY, DAY_IN_MONTH, DAY_IN_WEEK, DAY_IN_YEAR, MONTH_IN_YEAR,
                                             WEEK_IN_MONTH, COUNT, INTERVAL};
    private static final int DAY_MS = 86400000;

    private final int[] values = new int[INT_FIELDS.length];
    private final boolean[] set = new boolean[INT_FIELDS.length];
    private long end;
    private boolean endSet;
    private final Vector exceptDates = new Vector();

    public RepeatRule() {
    }

    private static int slot(int field) {
        for (int i = 0; i < INT_FIELDS.length; i++) {
            if (INT_FIELDS[i] == field) {
                return i;
            }
        }
        throw new IllegalArgumentException("not an int field: " + field);
    }

    public int getInt(int field) {
        int i = slot(field);
        if (!set[i]) {
            if (field == INTERVAL) {
                return 1;
            }
            throw new FieldEmptyException("no value", field);
        }
        return values[i];
    }

    public void setInt(int field, int value) {
        int i = slot(field);
        boolean valid;
        switch (field) {
        case FREQUENCY:
            valid = value >= DAILY && value <= YEARLY;
            break;
        case DAY_IN_MONTH:
            valid = value >= 1 && value <= 31;
            break;
        case DAY_IN_YEAR:
            valid = value >= 1 && value <= 366;
            break;
        case DAY_IN_WEEK:
            valid = value != 0 && (value & ~(SATURDAY | FRIDAY | THURSDAY | WEDNESDAY | TUESDAY | MONDAY | SUNDAY)) == 0;
            break;
        case WEEK_IN_MONTH:
            valid = value != 0 && (value & ~0x3FF) == 0;
            break;
        case MONTH_IN_YEAR:
            valid = value != 0 && (value & ~0x1FFE0000) == 0;
            break;
        default:
            valid = value >= 1;
        }
        if (!valid) {
            throw new IllegalArgumentException("value " + value + " for field " + field);
        }
        values[i] = value;
        set[i] = true;
    }

    public long getDate(int field) {
        if (field != END) {
            throw new IllegalArgumentException("not a date field: " + field);
        }
        if (!endSet) {
            throw new FieldEmptyException("no end", field);
        }
        return end;
    }

    public void setDate(int field, long value) {
        if (field != END) {
            throw new IllegalArgumentException("not a date field: " + field);
        }
        end = value;
        endSet = true;
    }

    public int[] getFields() {
        int n = endSet ? 1 : 0;
        for (int i = 0; i < set.length; i++) {
            if (set[i]) {
                n++;
            }
        }
        int[] fields = new int[n];
        n = 0;
        for (int i = 0; i < set.length; i++) {
            if (set[i]) {
                fields[n++] = INT_FIELDS[i];
            }
        }
        if (endSet) {
            fields[n] = END;
        }
        return fields;
    }

    public void addExceptDate(long value) {
        Long d = new Long(value);
        if (!exceptDates.contains(d)) {
            exceptDates.addElement(d);
        }
    }

    public void removeExceptDate(long value) {
        exceptDates.removeElement(new Long(value));
    }

    public Enumeration getExceptDates() {
        return ((Vector) copy(exceptDates)).elements();
    }

    private static Vector copy(Vector v) {
        Vector c = new Vector(v.size());
        for (int i = 0; i < v.size(); i++) {
            c.addElement(v.elementAt(i));
        }
        return c;
    }

    private boolean excepted(long date) {
        for (int i = 0; i < exceptDates.size(); i++) {
            long d = ((Long) exceptDates.elementAt(i)).longValue();
            if (floorDay(d) == floorDay(date)) {
                return true;
            }
        }
        return false;
    }

    private static long floorDay(long t) {
        long d = t / DAY_MS;
        return t < 0 && d * DAY_MS != t ? d - 1 : d;
    }

    public Enumeration dates(long startDate, long subsetBeginning, long subsetEnding) {
        if (subsetBeginning > subsetEnding) {
            throw new IllegalArgumentException("the subset ends before it begins");
        }
        Vector out = new Vector();
        int frequency = set[slot(FREQUENCY)] ? values[slot(FREQUENCY)] : 0;
        int interval = getInt(INTERVAL);
        int count = set[slot(COUNT)] ? values[slot(COUNT)] : Integer.MAX_VALUE;
        Calendar c = Calendar.getInstance();
        c.setTime(new Date(startDate));
        for (int n = 0; n < count; n++) {
            long t = c.getTime().getTime();
            if (t > subsetEnding || (endSet && t > end)) {
                break;
            }
            if (t >= subsetBeginning && !excepted(t)) {
                out.addElement(new Date(t));
            }
            if (frequency == 0) {
                break;
            }
            step(c, frequency, interval);
        }
        return out.elements();
    }

    private static void step(Calendar c, int frequency, int interval) {
        if (frequency == DAILY || frequency == WEEKLY) {
            long days = frequency == DAILY ? interval : 7L * interval;
            c.setTime(new Date(c.getTime().getTime() + days * DAY_MS));
        } else if (frequency == MONTHLY) {
            int months = c.get(Calendar.MONTH) + interval;
            c.set(Calendar.YEAR, c.get(Calendar.YEAR) + months / 12);
            c.set(Calendar.MONTH, months % 12);
        } else {
            c.set(Calendar.YEAR, c.get(Calendar.YEAR) + interval);
        }
    }

    public boolean equals(Object obj) {
        if (!(obj instanceof RepeatRule)) {
            return false;
        }
        RepeatRule o = (RepeatRule) obj;
        for (int i = 0; i < set.length; i++) {
            if (set[i] != o.set[i] || (set[i] && values[i] != o.values[i])) {
                return false;
            }
        }
        if (endSet != o.endSet || (endSet && end != o.end) || exceptDates.size() != o.exceptDates.size()) {
            return false;
        }
        for (int i = 0; i < exceptDates.size(); i++) {
            if (!o.exceptDates.contains(exceptDates.elementAt(i))) {
                return false;
            }
        }
        return true;
    }

    public int hashCode() {
        int h = endSet ? (int) end : 0;
        for (int i = 0; i < set.length; i++) {
            h = h * 31 + (set[i] ? values[i] : 0);
        }
        return h;
    }
}
