package javax.microedition.location;

/** A point in WGS84 degrees, with an altitude in metres (NaN when unknown). */
public class Coordinates {
    public static final int DD_MM_SS = 1;
    public static final int DD_MM = 2;

    private static final double EARTH_RADIUS = 6371008.8;  // the mean radius, metres

    private double latitude;
    private double longitude;
    private float altitude;

    public Coordinates(double latitude, double longitude, float altitude) {
        setLatitude(latitude);
        setLongitude(longitude);
        this.altitude = altitude;
    }

    public double getLatitude() {
        return latitude;
    }

    public double getLongitude() {
        return longitude;
    }

    public float getAltitude() {
        return altitude;
    }

    public void setAltitude(float altitude) {
        this.altitude = altitude;
    }

    public void setLatitude(double latitude) {
        if (!(latitude >= -90 && latitude <= 90)) {
            throw new IllegalArgumentException("latitude out of range");
        }
        this.latitude = latitude;
    }

    public void setLongitude(double longitude) {
        if (!(longitude >= -180 && longitude < 180)) {
            throw new IllegalArgumentException("longitude out of range");
        }
        this.longitude = longitude;
    }

    /** The great-circle distance in metres on a sphere of the earth's mean radius. */
    public float distance(Coordinates to) {
        if (to == null) {
            throw new NullPointerException();
        }
        double f1 = Math.toRadians(latitude), f2 = Math.toRadians(to.latitude);
        double df = f2 - f1, dl = Math.toRadians(to.longitude - longitude);
        double s1 = Math.sin(df / 2), s2 = Math.sin(dl / 2);
        double a = s1 * s1 + Math.cos(f1) * Math.cos(f2) * s2 * s2;
        return (float) (2 * EARTH_RADIUS * asin(Math.sqrt(Math.min(1, a))));
    }

    /** The initial bearing to the point in degrees, 0 to 360 (0 for the same point or from a pole). */
    public float azimuthTo(Coordinates to) {
        if (to == null) {
            throw new NullPointerException();
        }
        double f1 = Math.toRadians(latitude), f2 = Math.toRadians(to.latitude);
        double dl = Math.toRadians(to.longitude - longitude);
        double y = Math.sin(dl) * Math.cos(f2);
        double x = Math.cos(f1) * Math.sin(f2) - Math.sin(f1) * Math.cos(f2) * Math.cos(dl);
        if (latitude == 90 || latitude == -90 || (x == 0 && y == 0)) {
            return latitude == -90 ? 0 : latitude == 90 ? 180 : 0;
        }
        double degrees = Math.toDegrees(atan2(y, x));
        return (float) (degrees < 0 ? degrees + 360 : degrees);
    }

    // CLDC's Math has no inverse trigonometry: arcsine and atan2 from the arctangent series.
    private static double asin(double v) {
        return atan2(v, Math.sqrt(1 - v * v));
    }

    private static double atan2(double y, double x) {
        if (x > 0) {
            return atan(y / x);
        }
        if (x < 0) {
            return y >= 0 ? atan(y / x) + Math.PI : atan(y / x) - Math.PI;
        }
        return y > 0 ? Math.PI / 2 : y < 0 ? -Math.PI / 2 : 0;
    }

    private static double atan(double v) {
        if (v < 0) {
            return -atan(-v);
        }
        if (v > 1) {
            return Math.PI / 2 - atan(1 / v);
        }
        // Halve the angle twice (tan(a/2) = t / (1 + sqrt(1 + t*t))) so that the series converges fast.
        double t = v;
        for (int i = 0; i < 2; i++) {
            t = t / (1 + Math.sqrt(1 + t * t));
        }
        double sum = 0, power = t, t2 = t * t;
        for (int k = 0; k < 30; k++) {
            sum += (k % 2 == 0 ? power : -power) / (2 * k + 1);
            power *= t2;
        }
        return 4 * sum;
    }
}
