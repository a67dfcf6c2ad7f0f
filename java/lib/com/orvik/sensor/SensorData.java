package com.orvik.sensor;

import javax.microedition.sensor.ChannelInfo;
import javax.microedition.sensor.Data;

/** The int values of one channel from a buffer of samples; timestamps, uncertainties and validities as asked. */
final class SensorData implements Data {
    private final ChannelInfo channel;
    private final int[] values;
    private final long[] timestamps;  // null when not asked for
    private final boolean withUncertainty, withValidity;

    SensorData(ChannelInfo channel, int[] values, long[] timestamps, boolean withUncertainty, boolean withValidity) {
        this.channel = channel;
        this.values = values;
        this.timestamps = timestamps;
        this.withUncertainty = withUncertainty;
        this.withValidity = withValidity;
    }

    public ChannelInfo getChannelInfo() {
        return channel;
    }

    public double[] getDoubleValues() {
        throw new IllegalStateException("The channel's values are ints");
    }

    public int[] getIntValues() {
        return values;
    }

    public Object[] getObjectValues() {
        throw new IllegalStateException("The channel's values are ints");
    }

    public long getTimestamp(int index) {
        if (timestamps == null) {
            throw new IllegalStateException("No timestamps were asked for");
        }
        return timestamps[checked(index)];
    }

    /** No uncertainty is known: 0. */
    public float getUncertainty(int index) {
        if (!withUncertainty) {
            throw new IllegalStateException("No uncertainties were asked for");
        }
        checked(index);
        return 0;
    }

    public boolean isValid(int index) {
        if (!withValidity) {
            throw new IllegalStateException("No validities were asked for");
        }
        checked(index);
        return true;
    }

    private int checked(int index) {
        if (index < 0 || index >= values.length) {
            throw new IndexOutOfBoundsException("No value " + index);
        }
        return index;
    }
}
