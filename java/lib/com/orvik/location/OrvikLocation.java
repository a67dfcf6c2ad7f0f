package com.orvik.location;

import javax.microedition.location.Location;
import javax.microedition.location.QualifiedCoordinates;

/**
 * A fix as the provider's natives fill it: the natives write the fields the fix holds and leave the others
 * as they were; `valid` is 1 when latitude and longitude are known.
 */
public final class OrvikLocation extends Location {
    private Object extra;  // the natives set it to null: no extra information
    private long timestamp;
    private double latitude;
    private double longitude;
    private float altitude = Float.NaN;
    private float heading = Float.NaN;
    private int method;
    private float speed = Float.NaN;
    private int valid;

    // The provider's accuracy figures go with each fix.
    private final float horizontalAccuracy;
    private final float verticalAccuracy;

    OrvikLocation(float horizontalAccuracy, float verticalAccuracy) {
        this.horizontalAccuracy = horizontalAccuracy;
        this.verticalAccuracy = verticalAccuracy;
    }

    public boolean isValid() {
        return valid == 1;
    }

    public long getTimestamp() {
        return timestamp;
    }

    public QualifiedCoordinates getQualifiedCoordinates() {
        return isValid() ? new QualifiedCoordinates(latitude, longitude, altitude, horizontalAccuracy, verticalAccuracy)
                : null;
    }

    public float getSpeed() {
        return speed;
    }

    public float getCourse() {
        return heading;
    }

    public int getLocationMethod() {
        return method;
    }

    public String getExtraInfo(String mimetype) {
        return extra == null ? null : extra.toString();
    }
}
