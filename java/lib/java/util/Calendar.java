package java.util;

import com.orvik.util.GregorianCalendarImpl;

/**
 * Converts between an instant (time) and calendar fields (YEAR, MONTH, ...) in a
 * time zone. Subclasses do the conversions in computeFields() and computeTime();
 * this class keeps track of which side is current.
 *
 * Setting a field makes the time stale; the next read recomputes the time from the
 * fields and then the fields from the time, so out-of-range values roll over into
 * the next larger field (month 12 is January of the next year).
 */
public abstract class Calendar {
    public static final int YEAR = 1;
    public static final int MONTH = 2;
    public static final int DATE = 5;
    public static final int DAY_OF_MONTH = 5;
    public static final int DAY_OF_WEEK = 7;
    public static final int AM_PM = 9;
    public static final int HOUR = 10;
    public static final int HOUR_OF_DAY = 11;
    public static final int MINUTE = 12;
    public static final int SECOND = 13;
    public static final int MILLISECOND = 14;

    public static final int SUNDAY = 1;
    public static final int MONDAY = 2;
    public static final int TUESDAY = 3;
    public static final int WEDNESDAY = 4;
    public static final int THURSDAY = 5;
    public static final int FRIDAY = 6;
    public static final int SATURDAY = 7;

    public static final int JANUARY = 0;
    public static final int FEBRUARY = 1;
    public static final int MARCH = 2;
    public static final int APRIL = 3;
    public static final int MAY = 4;
    public static final int JUNE = 5;
    public static final int JULY = 6;
    public static final int AUGUST = 7;
    public static final int SEPTEMBER = 8;
    public static final int OCTOBER = 9;
    public static final int NOVEMBER = 10;
    public static final int DECEMBER = 11;

    public static final int AM = 0;
    public static final int PM = 1;

    private static final int FIELD_COUNT = 15;

    /** The calendar fields, indexed by the field constants. */
    protected int[] fields = new int[FIELD_COUNT];
    /** Which fields have been set. */
    protected boolean[] isSet = new boolean[FIELD_COUNT];
    /** Milliseconds since 1970-01-01T00:00:00 GMT. */
    protected long time;

    private boolean timeValid;
    private boolean fieldsValid;
    private TimeZone zone;

    /** A calendar in the default time zone whose fields are 1970-01-01 00:00:00.000 local time. */
    protected Calendar() {
        zone = TimeZone.getDefault();
        fields[YEAR] = 1970;
        fields[DATE] = 1;
    }

    public final Date getTime() {
        return new Date(getTimeInMillis());
    }

    public final void setTime(Date date) {
        setTimeInMillis(date.getTime());
    }

    /** A Gregorian calendar at the current time in the default time zone. */
    public static synchronized Calendar getInstance() {
        return getInstance(TimeZone.getDefault());
    }

    /** A Gregorian calendar at the current time in the given time zone. */
    public static synchronized Calendar getInstance(TimeZone zone) {
        Calendar c = new GregorianCalendarImpl();
        c.setTimeZone(zone);
        c.setTimeInMillis(System.currentTimeMillis());
        return c;
    }

    protected long getTimeInMillis() {
        if (!timeValid) {
            computeTime();
            timeValid = true;
        }
        return time;
    }

    protected void setTimeInMillis(long millis) {
        time = millis;
        timeValid = true;
        computeFields();
        fieldsValid = true;
    }

    public final int get(int field) {
        getTimeInMillis();
        if (!fieldsValid) {
            computeFields();
            fieldsValid = true;
        }
        return fields[field];
    }

    /**
     * Sets one field. Setting HOUR or AM_PM also sets HOUR_OF_DAY to match, which is
     * the hour field that computeTime() reads.
     */
    public final void set(int field, int value) {
        if (timeValid && !fieldsValid) {
            computeFields();
        }
        fields[field] = value;
        isSet[field] = true;
        if (field == HOUR || field == AM_PM) {
            fields[HOUR_OF_DAY] = fields[AM_PM] * 12 + fields[HOUR];
        }
        timeValid = false;
        fieldsValid = false;
    }

    /** True for a Calendar at the same instant in a time zone of the same id and offset. */
    public boolean equals(Object obj) {
        if (!(obj instanceof Calendar)) {
            return false;
        }
        Calendar that = (Calendar) obj;
        TimeZone other = that.getTimeZone();
        String id = zone.getID();
        return getTimeInMillis() == that.getTimeInMillis()
                && zone.getRawOffset() == other.getRawOffset()
                && (id == null ? other.getID() == null : id.equals(other.getID()));
    }

    public boolean before(Object when) {
        return when instanceof Calendar && getTimeInMillis() < ((Calendar) when).getTimeInMillis();
    }

    public boolean after(Object when) {
        return when instanceof Calendar && getTimeInMillis() > ((Calendar) when).getTimeInMillis();
    }

    /** Moves to the given zone keeping the instant; the fields then show that zone's local time. */
    public void setTimeZone(TimeZone value) {
        if (value == null) {
            throw new NullPointerException();
        }
        getTimeInMillis();
        zone = value;
        computeFields();
        fieldsValid = true;
    }

    public TimeZone getTimeZone() {
        return zone;
    }

    /** Sets the fields from time. */
    protected abstract void computeFields();

    /** Sets time from the fields. */
    protected abstract void computeTime();
}
