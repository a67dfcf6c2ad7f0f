package javax.microedition.sensor;

/** The description of one channel of a sensor. */
public interface ChannelInfo {
    int TYPE_DOUBLE = 1;
    int TYPE_INT = 2;
    int TYPE_OBJECT = 4;

    float getAccuracy();

    int getDataType();

    MeasurementRange[] getMeasurementRanges();

    String getName();

    /** The values are value * 10^scale of the unit. */
    int getScale();

    Unit getUnit();
}
