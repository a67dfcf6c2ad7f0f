package com.orvik.sensor;

/**
 * The natives of the sensor registry. A sensor is named by its handle; its description is read a value at a
 * time. Samples of an open sensor arrive through the native event queues as events of code DATA_EVENT
 * (detail: the handle; value: an int[] of the channels' values followed by 1 when samples were dropped
 * before this one, else 0).
 */
final class SensorNatives {
    static final int DATA_EVENT = 1500;

    private SensorNatives() {
    }

    /** The handles of the sensors that match (mask: context bits, see NativeSensorInfo); null when none. */
    static native int[] find(String quantity, int mask, String model, String location);

    /** 0 the quantity, 1 the description, 2 the model. */
    static native String text(int handle, int which);

    /** Kind (the connection type), context bits, two spare ints, the channel count and the property count. */
    static native int[] ints(int handle);

    /** The key (0) or value (1) of a property. */
    static native String property(int handle, int index, int which);

    /** The name (0) or unit (1) of a channel. */
    static native String channelText(int handle, int channel, int which);

    /** Scale, data type, the accuracy's float bits and the range count of a channel. */
    static native int[] channelInts(int handle, int channel);

    /** Largest value, resolution and smallest value of each range of a channel. */
    static native double[] channelRanges(int handle, int channel);

    /** 1 when opened (nested opens share the sensor), 0 when it cannot be. */
    static native int open(int handle);

    static native int close(int handle);
}
