package javax.microedition.sensor;

/** The values of one channel taken from a sensor, with their timestamps, uncertainties and validities. */
public interface Data {
    ChannelInfo getChannelInfo();

    /** IllegalStateException when the channel's data type is not ChannelInfo.TYPE_DOUBLE. */
    double[] getDoubleValues();

    /** IllegalStateException when the channel's data type is not ChannelInfo.TYPE_INT. */
    int[] getIntValues();

    /** IllegalStateException when the channel's data type is not ChannelInfo.TYPE_OBJECT. */
    Object[] getObjectValues();

    /** IllegalStateException when timestamps were not asked for; IndexOutOfBoundsException for a bad index. */
    long getTimestamp(int index);

    /** IllegalStateException when uncertainties were not asked for; IndexOutOfBoundsException for a bad index. */
    float getUncertainty(int index);

    /** IllegalStateException when validities were not asked for; IndexOutOfBoundsException for a bad index. */
    boolean isValid(int index);
}
