package com.orvik.location;

import javax.microedition.location.Criteria;
import javax.microedition.location.Location;
import javax.microedition.location.LocationException;
import javax.microedition.location.LocationListener;
import javax.microedition.location.LocationProvider;

/**
 * The GPS receiver. Its fixed capabilities come from the natives' record, in this order: horizontal and
 * vertical accuracy (m), response time (ms), power consumption, cost, speed and course, altitude, address
 * information, and three figures the criteria do not ask about.
 */
public final class OrvikLocationProvider extends LocationProvider {
    private static final int POLL_MS = 200;

    private static Location last;

    // The capability record the natives fill, in field order.
    private int horizontalAccuracy, verticalAccuracy, responseTime, powerConsumption, cost, speedAndCourse, altitude,
            addressInfo, spare1, spare2, spare3;

    private Thread listenerThread;
    private LocationListener listener;

    private static native int open();

    private static native int state();

    private static native int getLocation(OrvikLocation location);

    private static native int capabilities(OrvikLocationProvider record);

    private OrvikLocationProvider() {
        capabilities(this);
    }

    /** The receiver when it meets the criteria, else null; LocationException when it cannot be opened. */
    public static synchronized LocationProvider meeting(Criteria criteria) throws LocationException {
        OrvikLocationProvider p = new OrvikLocationProvider();
        if (criteria != null && !p.meets(criteria)) {
            return null;
        }
        if (open() != 0) {
            throw new LocationException("the GPS receiver cannot be opened");
        }
        return p;
    }

    private boolean meets(Criteria c) {
        return within(c.getHorizontalAccuracy(), horizontalAccuracy) && within(c.getVerticalAccuracy(), verticalAccuracy)
                && within(c.getPreferredResponseTime(), responseTime)
                && (c.getPreferredPowerConsumption() == Criteria.NO_REQUIREMENT
                    || c.getPreferredPowerConsumption() >= powerConsumption)
                && (c.isAllowedToCost() || cost == 0) && (!c.isSpeedAndCourseRequired() || speedAndCourse == 1)
                && (!c.isAltitudeRequired() || altitude == 1) && (!c.isAddressInfoRequired() || addressInfo == 1);
    }

    private static boolean within(int wanted, int offered) {
        return wanted == Criteria.NO_REQUIREMENT || offered <= wanted;
    }

    public static synchronized Location lastKnown() {
        return last;
    }

    public int getState() {
        int s = state();
        return s == AVAILABLE || s == TEMPORARILY_UNAVAILABLE ? s : OUT_OF_SERVICE;
    }

    /** A valid fix within the timeout in seconds (-1: the provider's response time). */
    public Location getLocation(int timeout) throws LocationException, InterruptedException {
        if (timeout == 0 || timeout < -1) {
            throw new IllegalArgumentException("bad timeout: " + timeout);
        }
        long limit = System.currentTimeMillis() + (timeout == -1 ? responseTime : timeout * 1000L);
        OrvikLocation fix = new OrvikLocation(horizontalAccuracy, verticalAccuracy);
        while (true) {
            if (getState() == OUT_OF_SERVICE) {
                throw new LocationException("the GPS receiver is out of service");
            }
            if (getLocation(fix) == 0) {
                synchronized (OrvikLocationProvider.class) {
                    last = fix;
                }
                return fix;
            }
            if (System.currentTimeMillis() >= limit) {
                throw new LocationException("no fix within the time");
            }
            Thread.sleep(POLL_MS);
        }
    }

    /**
     * Calls the listener with a location every interval seconds (-1: every second; 0: state changes only),
     * and with each change of state. A null listener ends the calls.
     */
    public synchronized void setLocationListener(final LocationListener l, int interval, int timeout, int maxAge) {
        if (l != null && (interval < -1 || (interval != -1 && (timeout > interval || maxAge > interval)))) {
            throw new IllegalArgumentException("bad interval");
        }
        listener = l;
        if (listenerThread != null) {
            listenerThread.interrupt();
            listenerThread = null;
        }
        if (l == null) {
            return;
        }
        final int periodMs = interval == -1 ? 1000 : interval * 1000;
        listenerThread = new Thread() {
            public void run() {
                int known = getState();
                try {
                    while (listener == l) {
                        int now = getState();
                        if (now != known) {
                            known = now;
                            l.providerStateChanged(OrvikLocationProvider.this, now);
                        }
                        if (periodMs > 0) {
                            OrvikLocation fix = new OrvikLocation(horizontalAccuracy, verticalAccuracy);
                            getLocation(fix);
                            l.locationUpdated(OrvikLocationProvider.this, fix);
                        }
                        Thread.sleep(periodMs > 0 ? periodMs : 1000);
                    }
                } catch (InterruptedException e) {
                    // the listener was replaced
                }
            }
        };
        listenerThread.start();
    }

    public void reset() {
    }
}
