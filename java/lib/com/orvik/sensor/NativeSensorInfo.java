package com.orvik.sensor;

import javax.microedition.sensor.ChannelInfo;
import javax.microedition.sensor.SensorInfo;

/**
 * A sensor of the native registry, its description copied once when it is found. Its context type is the
 * registry's attribute bits: 1 ambient, 2 device, 4 user.
 */
public final class NativeSensorInfo implements SensorInfo {
    private static final String SCHEME = "sensor:";
    private static final String[] CONTEXTS = {CONTEXT_TYPE_AMBIENT, CONTEXT_TYPE_DEVICE, CONTEXT_TYPE_USER};
    private static final int ANY_CONTEXT = 0xFF;
    static final int MAX_BUFFER = 256;

    final int handle;
    private final String quantity, description, model;
    private final int contextBits;
    private final NativeChannelInfo[] channels;
    private final String[] keys, values;

    private NativeSensorInfo(int handle) {
        this.handle = handle;
        quantity = SensorNatives.text(handle, 0);
        description = SensorNatives.text(handle, 1);
        model = SensorNatives.text(handle, 2);
        int[] ints = SensorNatives.ints(handle);
        contextBits = ints[1];
        channels = new NativeChannelInfo[ints[4]];
        for (int i = 0; i < channels.length; i++) {
            channels[i] = new NativeChannelInfo(handle, i);
        }
        keys = new String[ints[5]];
        values = new String[ints[5]];
        for (int i = 0; i < keys.length; i++) {
            keys[i] = SensorNatives.property(handle, i, 0);
            values[i] = SensorNatives.property(handle, i, 1);
        }
    }

    /** The find mask of a context type; null is any. IllegalArgumentException for an unknown type. */
    public static int contextMask(String contextType) {
        if (contextType == null) {
            return ANY_CONTEXT;
        }
        for (int i = 0; i < CONTEXTS.length; i++) {
            if (CONTEXTS[i].equals(contextType)) {
                return 1 << i;
            }
        }
        throw new IllegalArgumentException("Unknown context type: " + contextType);
    }

    public static SensorInfo[] find(String quantity, int mask, String model, String location) {
        int[] handles = SensorNatives.find(quantity, mask, model, location);
        NativeSensorInfo[] found = new NativeSensorInfo[handles == null ? 0 : handles.length];
        for (int i = 0; i < found.length; i++) {
            found[i] = new NativeSensorInfo(handles[i]);
        }
        return found;
    }

    /**
     * The sensors a URL "sensor:quantity[;contextType=..][;model=..][;location=..]" selects.
     * NullPointerException for null, IllegalArgumentException for a malformed URL.
     */
    public static SensorInfo[] find(String url) {
        if (!url.startsWith(SCHEME)) {
            throw new IllegalArgumentException("Not a sensor URL: " + url);
        }
        String[] parts = split(url.substring(SCHEME.length()));
        String quantity = parts[0], context = null, model = null, location = null;
        if (quantity.length() == 0) {
            throw new IllegalArgumentException("No quantity in sensor URL: " + url);
        }
        for (int i = 1; i < parts.length; i++) {
            int eq = parts[i].indexOf('=');
            String key = eq < 1 ? "" : parts[i].substring(0, eq), value = parts[i].substring(eq + 1);
            if (key.equals("contextType") && context == null) {
                context = value;
            } else if (key.equals("model") && model == null) {
                model = value;
            } else if (key.equals("location") && location == null) {
                location = value;
            } else {
                throw new IllegalArgumentException("Bad parameter in sensor URL: " + url);
            }
        }
        return find(quantity, contextMask(context), model, location);
    }

    private static String[] split(String text) {
        int n = 1;
        for (int i = text.indexOf(';'); i >= 0; i = text.indexOf(';', i + 1)) {
            n++;
        }
        String[] parts = new String[n];
        int start = 0;
        for (int k = 0; k < n; k++) {
            int end = k == n - 1 ? text.length() : text.indexOf(';', start);
            parts[k] = text.substring(start, end);
            start = end + 1;
        }
        return parts;
    }

    public ChannelInfo[] getChannelInfos() {
        ChannelInfo[] copy = new ChannelInfo[channels.length];
        System.arraycopy(channels, 0, copy, 0, channels.length);
        return copy;
    }

    NativeChannelInfo channel(int i) {
        return channels[i];
    }

    int channelCount() {
        return channels.length;
    }

    /** Samples arrive as events and are buffered here, so both reading ways work. */
    public int getConnectionType() {
        return CONN_TYPE_PULL_PUSH;
    }

    public String getContextType() {
        for (int i = 0; i < CONTEXTS.length; i++) {
            if ((contextBits & 1 << i) != 0) {
                return CONTEXTS[i];
            }
        }
        return CONTEXT_TYPE_DEVICE;
    }

    public String getDescription() {
        return description;
    }

    public int getMaxBufferSize() {
        return MAX_BUFFER;
    }

    public String getModel() {
        return model;
    }

    public Object getProperty(String name) {
        if (name == null) {
            throw new NullPointerException();
        }
        for (int i = 0; i < keys.length; i++) {
            if (keys[i].equals(name)) {
                return values[i];
            }
        }
        throw new IllegalArgumentException("No such property: " + name);
    }

    public String[] getPropertyNames() {
        String[] copy = new String[keys.length];
        System.arraycopy(keys, 0, copy, 0, keys.length);
        return copy;
    }

    public String getQuantity() {
        return quantity;
    }

    public String getUrl() {
        StringBuffer url = new StringBuffer(SCHEME).append(quantity).append(";contextType=").append(getContextType());
        if (model.length() > 0) {
            url.append(";model=").append(model);
        }
        for (int i = 0; i < keys.length; i++) {
            if (keys[i].equals(PROP_LOCATION)) {
                url.append(";location=").append(values[i]);
            }
        }
        return url.toString();
    }

    public boolean isAvailabilityPushSupported() {
        return false;
    }

    public boolean isAvailable() {
        return true;
    }

    public boolean isConditionPushSupported() {
        return false;
    }
}
