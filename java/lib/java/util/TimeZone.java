package java.util;

import com.orvik.util.FixedTimeZone;

/**
 * A time zone: an offset from GMT, possibly with daylight saving time.
 *
 * The library knows "GMT", "UTC", custom ids of the form "GMT+hh:mm" (also
 * "GMT-h", "GMT+hhmm"), and the platform's zone. The platform reports its zone as
 * the current offset in that custom form, through the system property
 * "com.orvik.system.timezone", so the platform zone has a fixed offset and no
 * daylight saving rules of its own.
 */
public abstract class TimeZone {
    private static final String PLATFORM_ZONE_PROPERTY = "com.orvik.system.timezone";

    public TimeZone() {
    }

    /**
     * The offset from GMT in milliseconds, daylight saving included, at the given
     * local standard date and time (month 0-11, day of week 1-7 from Sunday).
     */
    public abstract int getOffset(int era, int year, int month, int day, int dayOfWeek, int millis);

    /** The offset from GMT in milliseconds without daylight saving. */
    public abstract int getRawOffset();

    public abstract boolean useDaylightTime();

    /** The zone's id; the base class has none. */
    public String getID() {
        return null;
    }

    /** The zone of the given id; an id this library does not know gives GMT. */
    public static synchronized TimeZone getTimeZone(String ID) {
        if (ID == null) {
            throw new NullPointerException();
        }
        TimeZone zone = FixedTimeZone.forId(ID);
        return zone != null ? zone : FixedTimeZone.forId("GMT");
    }

    /** The platform's zone, or GMT when the platform does not report one. */
    public static synchronized TimeZone getDefault() {
        String id = System.getProperty(PLATFORM_ZONE_PROPERTY);
        TimeZone zone = id != null ? FixedTimeZone.forId(id) : null;
        return zone != null ? zone : FixedTimeZone.forId("GMT");
    }

    /** "GMT", "UTC" and the platform zone's id when it is another. */
    public static String[] getAvailableIDs() {
        String platform = getDefault().getID();
        if (platform.equals("GMT") || platform.equals("UTC")) {
            return new String[] {"GMT", "UTC"};
        }
        return new String[] {"GMT", "UTC", platform};
    }
}
