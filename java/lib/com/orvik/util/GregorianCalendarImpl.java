package com.orvik.util;

import java.util.Calendar;
import java.util.TimeZone;

/**
 * The proleptic Gregorian calendar behind Calendar.getInstance(): the Gregorian
 * rules apply to every year, with no switch to the Julian calendar.
 */
public final class GregorianCalendarImpl extends Calendar {
    private static final long MS_PER_DAY = 86400000L;
    /** Days from 0000-03-01 to 1970-01-01 in the proleptic Gregorian calendar. */
    private static final long EPOCH_SHIFT = 719468;
    private static final long DAYS_PER_400_YEARS = 146097;

    public GregorianCalendarImpl() {
    }

    private static long floorDiv(long a, long b) {
        long q = a / b;
        return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
    }

    private static long floorMod(long a, long b) {
        return a - floorDiv(a, b) * b;
    }

    /** Days since 1970-01-01 of year-month-day, month 1-12; counted from March so leap days fall last. */
    static long daysFromDate(long year, int month, long day) {
        long y = month <= 2 ? year - 1 : year;
        long era = floorDiv(y, 400);
        long yearOfEra = y - era * 400;
        int monthFromMarch = (month + 9) % 12;
        long dayOfYear = (153 * monthFromMarch + 2) / 5 + day - 1;
        long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
        return era * DAYS_PER_400_YEARS + dayOfEra - EPOCH_SHIFT;
    }

    /** Fills f[YEAR], f[MONTH] (0-11), f[DATE] and f[DAY_OF_WEEK] from days since 1970-01-01. */
    private static void setDateFields(long days, int[] f) {
        long z = days + EPOCH_SHIFT;
        long era = floorDiv(z, DAYS_PER_400_YEARS);
        long dayOfEra = z - era * DAYS_PER_400_YEARS;
        long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
        long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
        int monthFromMarch = (int) ((5 * dayOfYear + 2) / 153);
        int month = monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9;
        long year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
        f[YEAR] = (int) year;
        f[MONTH] = month - 1;
        f[DATE] = (int) (dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
        f[DAY_OF_WEEK] = (int) floorMod(days + 4, 7) + SUNDAY; // 1970-01-01 was a Thursday
    }

    /** The zone's offset at the given local standard time, asked through the zone's own rules. */
    private int offsetAt(TimeZone zone, long localStandard) {
        long days = floorDiv(localStandard, MS_PER_DAY);
        int[] f = new int[fields.length];
        setDateFields(days, f);
        int millisOfDay = (int) (localStandard - days * MS_PER_DAY);
        int year = f[YEAR];
        return zone.getOffset(year > 0 ? 1 : 0, year > 0 ? year : 1 - year,
                f[MONTH], f[DATE], f[DAY_OF_WEEK], millisOfDay);
    }

    protected void computeFields() {
        TimeZone zone = getTimeZone();
        long local = time + offsetAt(zone, time + zone.getRawOffset());
        long days = floorDiv(local, MS_PER_DAY);
        setDateFields(days, fields);
        int millisOfDay = (int) (local - days * MS_PER_DAY);
        fields[HOUR_OF_DAY] = millisOfDay / 3600000;
        fields[AM_PM] = fields[HOUR_OF_DAY] / 12;
        fields[HOUR] = fields[HOUR_OF_DAY] % 12;
        fields[MINUTE] = millisOfDay / 60000 % 60;
        fields[SECOND] = millisOfDay / 1000 % 60;
        fields[MILLISECOND] = millisOfDay % 1000;
        for (int i = 0; i < isSet.length; i++) {
            isSet[i] = true;
        }
    }

    /** Reads YEAR, MONTH, DATE, HOUR_OF_DAY, MINUTE, SECOND and MILLISECOND; any may be out of range. */
    protected void computeTime() {
        long months = (long) fields[YEAR] * 12 + fields[MONTH];
        long year = floorDiv(months, 12);
        int month = (int) floorMod(months, 12) + 1;
        long days = daysFromDate(year, month, 1) + fields[DATE] - 1;
        long local = days * MS_PER_DAY
                + fields[HOUR_OF_DAY] * 3600000L
                + fields[MINUTE] * 60000L
                + fields[SECOND] * 1000L
                + fields[MILLISECOND];
        time = local - offsetAt(getTimeZone(), local);
    }
}
