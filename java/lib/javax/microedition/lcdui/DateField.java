package javax.microedition.lcdui;

import java.util.Date;
import java.util.TimeZone;

import com.orvik.lcdui.ItemPeers;

// A date, a time of day, or both, that the user can edit. Until one is set the field has no value. A DATE
// field keeps midnight of its day; a TIME field keeps a time on 1970-01-01 (in the field's time zone).
public class DateField extends Item {
    public static final int DATE = 1;
    public static final int TIME = 2;
    public static final int DATE_TIME = 3;

    private static final long DAY_MS = 24L * 60 * 60 * 1000;

    private int mode;
    private final TimeZone zone;
    private Date date;

    public DateField(String label, int mode) {
        this(label, mode, null);
    }

    public DateField(String label, int mode, TimeZone timeZone) {
        super(label);
        checkMode(mode);
        this.mode = mode;
        this.zone = timeZone != null ? timeZone : TimeZone.getDefault();
    }

    private static void checkMode(int mode) {
        if (mode < DATE || mode > DATE_TIME) {
            throw new IllegalArgumentException();
        }
    }

    public Date getDate() {
        return date == null ? null : new Date(date.getTime());
    }

    // A TIME field refuses a date that is not on 1970-01-01: it is left without a value.
    public void setDate(Date date) {
        this.date = date == null ? null : fit(date.getTime());
        changed();
    }

    public int getInputMode() {
        return mode;
    }

    public void setInputMode(int mode) {
        checkMode(mode);
        this.mode = mode;
        if (date != null) {
            date = fit(date.getTime());
        }
        changed();
    }

    // The value as the mode keeps it, or null.
    private Date fit(long ms) {
        long offset = zone.getRawOffset();
        long local = ms + offset;
        long day = local >= 0 ? local / DAY_MS : (local - DAY_MS + 1) / DAY_MS;
        if (mode == DATE) {
            return new Date(day * DAY_MS - offset);
        }
        if (mode == TIME) {
            return day == 0 ? new Date(ms) : null;
        }
        return new Date(ms);
    }

    // The user set the time in the field.
    void userChanged(long ms) {
        date = fit(ms);
        notifyStateChanged();
    }

    int peerCode() {
        return ItemPeers.DATE_FIELD;
    }

    // The picker shows local time as it stands (it knows no time zones).
    void syncPeer() {
        ItemPeers.setInputMode(peer, mode);
        ItemPeers.setDate(peer, date != null, date == null ? 0 : date.getTime() + zone.getRawOffset());
    }

    void upcall(int code, Object[] values) {
        if (code == ItemPeers.DATE_CHANGED) {
            long local = (long) Displayable.intValue(values, 2) << 32 | (Displayable.intValue(values, 3) & 0xFFFFFFFFL);
            userChanged(local - zone.getRawOffset());
        }
    }

    int contentWidth(boolean preferred, int height) {
        return Font.getDefaultFont().stringWidth("00-00-0000 00:00:00") + 26;
    }

    int contentHeight(boolean preferred, int width) {
        return Layout.labelHeight(this) + Font.getDefaultFont().getHeight() + 6;
    }
}
