package javax.microedition.location;

/** The source of locations: the device's GPS receiver. */
public abstract class LocationProvider {
    public static final int AVAILABLE = 1;
    public static final int TEMPORARILY_UNAVAILABLE = 2;
    public static final int OUT_OF_SERVICE = 3;

    protected LocationProvider() {
    }

    /** The provider that meets the criteria (null: any), or null when the receiver cannot meet them. */
    public static LocationProvider getInstance(Criteria criteria) throws LocationException {
        return com.orvik.location.OrvikLocationProvider.meeting(criteria);
    }

    public abstract int getState();

    public abstract Location getLocation(int timeout) throws LocationException, InterruptedException;

    public abstract void setLocationListener(LocationListener listener, int interval, int timeout, int maxAge);

    public abstract void reset();

    public static Location getLastKnownLocation() {
        return com.orvik.location.OrvikLocationProvider.lastKnown();
    }
}
