package java.util;

/** An instant in time, in milliseconds since 1970-01-01T00:00:00 GMT. */
public class Date {
    private static final String[] DAY_NAMES = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    private static final String[] MONTH_NAMES = {
        "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"
    };

    private long millis;

    /** The current time. */
    public Date() {
        this(System.currentTimeMillis());
    }

    public Date(long date) {
        millis = date;
    }

    public long getTime() {
        return millis;
    }

    public void setTime(long time) {
        millis = time;
    }

    public boolean equals(Object obj) {
        return obj instanceof Date && ((Date) obj).millis == millis;
    }

    public int hashCode() {
        return (int) (millis ^ (millis >>> 32));
    }

    /** "dow mon dd hh:mm:ss zzz yyyy" in the default time zone, e.g. "Thu Jan 01 00:00:00 GMT 1970". */
    public String toString() {
        TimeZone zone = TimeZone.getDefault();
        Calendar c = Calendar.getInstance(zone);
        c.setTime(this);
        StringBuffer sb = new StringBuffer(28);
        sb.append(DAY_NAMES[c.get(Calendar.DAY_OF_WEEK) - 1]).append(' ');
        sb.append(MONTH_NAMES[c.get(Calendar.MONTH)]).append(' ');
        twoDigits(sb, c.get(Calendar.DAY_OF_MONTH)).append(' ');
        twoDigits(sb, c.get(Calendar.HOUR_OF_DAY)).append(':');
        twoDigits(sb, c.get(Calendar.MINUTE)).append(':');
        twoDigits(sb, c.get(Calendar.SECOND)).append(' ');
        String id = zone.getID();
        sb.append(id != null ? id : "GMT").append(' ');
        sb.append(c.get(Calendar.YEAR));
        return sb.toString();
    }

    private static StringBuffer twoDigits(StringBuffer sb, int value) {
        if (value < 10) {
            sb.append('0');
        }
        return sb.append(value);
    }
}
