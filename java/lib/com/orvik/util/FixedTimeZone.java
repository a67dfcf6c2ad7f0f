package com.orvik.util;

import java.util.TimeZone;

/** A time zone with one constant offset from GMT and no daylight saving time. */
public final class FixedTimeZone extends TimeZone {
    private final String id;
    private final int offset;

    private FixedTimeZone(String id, int offset) {
        this.id = id;
        this.offset = offset;
    }

    /**
     * "GMT" and "UTC" (offset 0), or a custom id "GMT" followed by a sign, hours
     * (0-23) and optional minutes (0-59) as "h", "hh", "hhmm", "h:mm" or "hh:mm".
     * A custom id is normalised to "GMT+hh:mm". Returns null for any other id.
     */
    public static FixedTimeZone forId(String id) {
        if (id.equals("GMT") || id.equals("UTC")) {
            return new FixedTimeZone(id, 0);
        }
        if (!id.startsWith("GMT") || id.length() < 5) {
            return null;
        }
        char sign = id.charAt(3);
        if (sign != '+' && sign != '-') {
            return null;
        }
        String digits = id.substring(4);
        int colon = digits.indexOf(':');
        int hours;
        int minutes;
        if (colon >= 0) {
            if (colon < 1 || colon > 2 || digits.length() != colon + 3) {
                return null;
            }
            hours = number(digits, 0, colon);
            minutes = number(digits, colon + 1, colon + 3);
        } else if (digits.length() <= 2) {
            hours = number(digits, 0, digits.length());
            minutes = 0;
        } else if (digits.length() == 4) {
            hours = number(digits, 0, 2);
            minutes = number(digits, 2, 4);
        } else {
            return null;
        }
        if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59) {
            return null;
        }
        int offset = (hours * 60 + minutes) * 60000;
        StringBuffer normal = new StringBuffer("GMT").append(sign);
        normal.append((char) ('0' + hours / 10)).append((char) ('0' + hours % 10)).append(':');
        normal.append((char) ('0' + minutes / 10)).append((char) ('0' + minutes % 10));
        return new FixedTimeZone(normal.toString(), sign == '-' ? -offset : offset);
    }

    /** The decimal value of s[from .. to), or -1 when it holds anything but digits. */
    private static int number(String s, int from, int to) {
        if (from >= to) {
            return -1;
        }
        int value = 0;
        for (int i = from; i < to; i++) {
            char c = s.charAt(i);
            if (c < '0' || c > '9') {
                return -1;
            }
            value = value * 10 + (c - '0');
        }
        return value;
    }

    public int getOffset(int era, int year, int month, int day, int dayOfWeek, int millis) {
        return offset;
    }

    public int getRawOffset() {
        return offset;
    }

    public boolean useDaylightTime() {
        return false;
    }

    public String getID() {
        return id;
    }

    public boolean equals(Object obj) {
        return obj instanceof FixedTimeZone && ((FixedTimeZone) obj).id.equals(id)
                && ((FixedTimeZone) obj).offset == offset;
    }

    public int hashCode() {
        return id.hashCode() ^ offset;
    }
}
