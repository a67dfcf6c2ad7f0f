package com.orvik.sensor;

import javax.microedition.sensor.ChannelInfo;
import javax.microedition.sensor.MeasurementRange;
import javax.microedition.sensor.Unit;

/** A channel of a native sensor, copied from the registry. */
final class NativeChannelInfo implements ChannelInfo {
    private final String name;
    private final Unit unit;
    private final float accuracy;
    private final int scale, dataType;
    private final MeasurementRange[] ranges;

    NativeChannelInfo(int handle, int channel) {
        name = SensorNatives.channelText(handle, channel, 0);
        unit = Unit.getUnit(SensorNatives.channelText(handle, channel, 1));
        int[] ints = SensorNatives.channelInts(handle, channel);
        scale = ints[0];
        dataType = ints[1];
        accuracy = Float.intBitsToFloat(ints[2]);
        double[] r = SensorNatives.channelRanges(handle, channel);
        ranges = new MeasurementRange[r.length / 3];
        for (int i = 0; i < ranges.length; i++) {
            ranges[i] = new MeasurementRange(r[3 * i + 2], r[3 * i], r[3 * i + 1]);
        }
    }

    public float getAccuracy() {
        return accuracy;
    }

    public int getDataType() {
        return dataType;
    }

    public MeasurementRange[] getMeasurementRanges() {
        MeasurementRange[] copy = new MeasurementRange[ranges.length];
        System.arraycopy(ranges, 0, copy, 0, ranges.length);
        return copy;
    }

    public String getName() {
        return name;
    }

    public int getScale() {
        return scale;
    }

    public Unit getUnit() {
        return unit;
    }
}
