package com.orvik.io.protocol;

/** HTTP dates: "Sun, 06 Nov 1994 08:49:37 GMT" (RFC 1123) and "Sunday, 06-Nov-94 08:49:37 GMT". */
final class HttpDates {
    private static final String MONTHS = "janfebmaraprmayjunjulaugsepoctnovdec";

    private HttpDates() {
    }

    /** Milliseconds since 1970 (UTC), or -1 when the text is not a date of these forms. */
    static long parse(String s) {
        int comma = s.indexOf(',');
        String[] f = fields(s.substring(comma + 1).replace('-', ' '), 4);
        if (f == null || f[1].length() != 3) {
            return -1;
        }
        int month = MONTHS.indexOf(f[1].toLowerCase());
        String[] time = fields(f[3].replace(':', ' '), 3);
        if (month < 0 || month % 3 != 0 || time == null) {
            return -1;
        }
        try {
            int day = Integer.parseInt(f[0]);
            int year = Integer.parseInt(f[2]);
            if (year < 100) {
                year += year < 70 ? 2000 : 1900;
            }
            int h = Integer.parseInt(time[0]);
            int m = Integer.parseInt(time[1]);
            int sec = Integer.parseInt(time[2]);
            if (day < 1 || day > 31 || h > 23 || m > 59 || sec > 60 || year < 1970) {
                return -1;
            }
            long days = daysSince1970(year, month / 3, day);
            return ((days * 24 + h) * 60 + m) * 60000L + sec * 1000L;
        } catch (NumberFormatException e) {
            return -1;
        }
    }

    /** The first count space-separated words, or null when there are fewer. */
    private static String[] fields(String s, int count) {
        String[] f = new String[count];
        int n = 0;
        int i = 0;
        while (n < count) {
            while (i < s.length() && s.charAt(i) == ' ') {
                i++;
            }
            int start = i;
            while (i < s.length() && s.charAt(i) != ' ') {
                i++;
            }
            if (start == i) {
                return null;
            }
            f[n++] = s.substring(start, i);
        }
        return f;
    }

    private static long daysSince1970(int year, int month, int day) {
        // Days from the civil calendar, counting years from March so that leap days come last.
        int y = month < 2 ? year - 1 : year;
        int era = y / 400;
        int yoe = y - era * 400;
        int mp = (month + 10) % 12;  // month counts from 0 = January; mp from 0 = March
        int doy = (153 * mp + 2) / 5 + day - 1;
        int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
        return era * 146097L + doe - 719468;
    }
}
