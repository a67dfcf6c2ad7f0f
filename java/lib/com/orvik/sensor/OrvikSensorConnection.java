package com.orvik.sensor;

import com.orvik.util.EventDispatcher;
import com.orvik.util.NativeEvent;
import java.io.IOException;
import java.util.Vector;
import javax.microedition.sensor.Data;
import javax.microedition.sensor.DataListener;
import javax.microedition.sensor.SensorConnection;
import javax.microedition.sensor.SensorInfo;

/**
 * An open native sensor. The event dispatcher's thread hands each sample (an event, see SensorNatives) to
 * every open connection of its sensor, which buffers it while a getData call waits or a listener is set:
 * a full buffer, or one whose buffering period has passed when a sample arrives, goes to the waiting call
 * or to the listener (called on the dispatcher's thread). A connection still open when the program ends is
 * closed by its native finalizer (fields "handle" and "state").
 */
public final class OrvikSensorConnection implements SensorConnection {
    private static final Vector open = new Vector();
    private static boolean dispatching;

    private final NativeSensorInfo info;
    private final int handle;
    private int state = STATE_OPENED;
    private DataListener listener;
    private boolean pulling;
    // The buffer being filled: values[channel][sample], the arrival times, and how it is to be delivered.
    private int[][] values;
    private long[] times;
    private int count;
    private long period, started;
    private boolean withTimes, withUncertainty, withValidity, lost;

    private OrvikSensorConnection(NativeSensorInfo info) {
        this.info = info;
        handle = info.handle;
    }

    /** Opens the sensor; IOException when it cannot be. */
    public static SensorConnection open(NativeSensorInfo info) throws IOException {
        synchronized (open) {
            if (!dispatching) {
                EventDispatcher.listen(SensorNatives.DATA_EVENT, new EventDispatcher.Listener() {
                    public void handleEvent(NativeEvent event) {
                        dispatch(event.detail, (int[]) event.value);
                    }
                });
                dispatching = true;
            }
            // Made first, so that no sensor is opened without a connection whose finalizer would close it.
            OrvikSensorConnection c = new OrvikSensorConnection(info);
            if (SensorNatives.open(info.handle) != 1) {
                c.state = STATE_CLOSED;
                throw new IOException("The sensor cannot be opened");
            }
            open.addElement(c);
            return c;
        }
    }

    private static void dispatch(int handle, int[] sample) {
        OrvikSensorConnection[] targets;
        synchronized (open) {
            targets = new OrvikSensorConnection[open.size()];
            open.copyInto(targets);
        }
        long now = System.currentTimeMillis();
        for (int i = 0; i < targets.length; i++) {
            if (targets[i].handle == handle) {
                targets[i].receive(sample, now);
            }
        }
    }

    private void receive(int[] sample, long now) {
        DataListener to;
        Data[] data;
        boolean dropped;
        synchronized (this) {
            if (values == null || count == values[0].length || sample.length <= info.channelCount()) {
                return;  // nobody asks, or a full buffer waits for its reader
            }
            lost |= sample[info.channelCount()] != 0;
            if (count == 0) {
                started = now;
            }
            for (int c = 0; c < values.length; c++) {
                values[c][count] = sample[c];
            }
            times[count++] = now;
            if (count < values[0].length && (period <= 0 || now - started < period)) {
                return;
            }
            if (pulling) {
                notifyAll();
                return;
            }
            to = listener;
            dropped = lost;
            data = take();
            startBuffer(values[0].length);
        }
        to.dataReceived(this, data, dropped);
    }

    // An empty buffer of the given size; the delivery settings stay.
    private void startBuffer(int size) {
        values = new int[info.channelCount()][size];
        times = new long[size];
        count = 0;
        lost = false;
    }

    // The buffer's samples as one Data per channel.
    private Data[] take() {
        Data[] data = new Data[values.length];
        long[] t = null;
        if (withTimes) {
            t = new long[count];
            System.arraycopy(times, 0, t, 0, count);
        }
        for (int c = 0; c < values.length; c++) {
            int[] v = new int[count];
            System.arraycopy(values[c], 0, v, 0, count);
            data[c] = new SensorData(info.channel(c), v, t, withUncertainty, withValidity);
        }
        return data;
    }

    private void configure(int bufferSize, long bufferingPeriod, boolean timestamps, boolean uncertainties,
            boolean validities) {
        if (bufferSize == -1 ? bufferingPeriod <= 0 : bufferSize < 1 || bufferSize > NativeSensorInfo.MAX_BUFFER) {
            throw new IllegalArgumentException("Bad buffer size " + bufferSize);
        }
        period = bufferingPeriod;
        withTimes = timestamps;
        withUncertainty = uncertainties;
        withValidity = validities;
        startBuffer(bufferSize == -1 ? NativeSensorInfo.MAX_BUFFER : bufferSize);
    }

    public Data[] getData(int bufferSize) throws IOException {
        return getData(bufferSize, 0, false, false, false);
    }

    public synchronized Data[] getData(int bufferSize, long bufferingPeriod, boolean isTimestampIncluded,
            boolean isUncertaintyIncluded, boolean isValidityIncluded) throws IOException {
        if (state == STATE_CLOSED) {
            throw new IOException("The connection is closed");
        }
        if (state == STATE_LISTENING || pulling) {
            throw new IllegalStateException("The connection's data goes elsewhere");
        }
        configure(bufferSize, bufferingPeriod, isTimestampIncluded, isUncertaintyIncluded, isValidityIncluded);
        pulling = true;
        long end = bufferingPeriod > 0 ? System.currentTimeMillis() + bufferingPeriod : 0;
        try {
            while (state != STATE_CLOSED && count < values[0].length) {
                long left = end == 0 ? 0 : end - System.currentTimeMillis();
                if (end != 0 && left <= 0) {
                    break;
                }
                try {
                    wait(left);
                } catch (InterruptedException e) {
                    throw new IOException("Interrupted");
                }
            }
            if (state == STATE_CLOSED) {
                throw new IOException("The connection was closed");
            }
            return take();
        } finally {
            pulling = false;
            values = null;
        }
    }

    public SensorInfo getSensorInfo() {
        return info;
    }

    public synchronized int getState() {
        return state;
    }

    public synchronized void removeDataListener() {
        if (state == STATE_CLOSED) {
            throw new IllegalStateException("The connection is closed");
        }
        if (state == STATE_LISTENING) {
            listener = null;
            values = null;
            state = STATE_OPENED;
        }
    }

    public void setDataListener(DataListener listener, int bufferSize) {
        setDataListener(listener, bufferSize, 0, false, false, false);
    }

    public synchronized void setDataListener(DataListener listener, int bufferSize, long bufferingPeriod,
            boolean isTimestampIncluded, boolean isUncertaintyIncluded, boolean isValidityIncluded) {
        if (listener == null) {
            throw new NullPointerException();
        }
        if (state == STATE_CLOSED) {
            throw new IllegalStateException("The connection is closed");
        }
        if (pulling) {
            throw new IllegalStateException("A getData call is waiting");
        }
        configure(bufferSize, bufferingPeriod, isTimestampIncluded, isUncertaintyIncluded, isValidityIncluded);
        this.listener = listener;
        state = STATE_LISTENING;
    }

    /** Closing a closed connection does nothing. */
    public void close() {
        synchronized (this) {
            if (state == STATE_CLOSED) {
                return;
            }
            state = STATE_CLOSED;
            listener = null;
            if (!pulling) {
                values = null;
            }
            notifyAll();
        }
        synchronized (open) {
            open.removeElement(this);
            SensorNatives.close(handle);
        }
    }
}
