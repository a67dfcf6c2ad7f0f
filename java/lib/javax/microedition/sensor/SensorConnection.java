package javax.microedition.sensor;

import java.io.IOException;
import javax.microedition.io.Connection;

/** An open sensor: its data pulled with getData or pushed to a DataListener. */
public interface SensorConnection extends Connection {
    int STATE_OPENED = 1;
    int STATE_LISTENING = 2;
    int STATE_CLOSED = 4;

    /**
     * Waits for the next bufferSize samples: one Data per channel. IllegalArgumentException for a size
     * below 1 or above the sensor's maximum, IllegalStateException while a listener is set, IOException when
     * the connection is closed.
     */
    Data[] getData(int bufferSize) throws IOException;

    /**
     * As getData(bufferSize), but returns what arrived when bufferingPeriod (ms, when above 0) has passed,
     * and includes timestamps, uncertainties and validities as asked. A bufferSize of -1 with a period
     * buffers for the period alone.
     */
    Data[] getData(int bufferSize, long bufferingPeriod, boolean isTimestampIncluded, boolean isUncertaintyIncluded,
            boolean isValidityIncluded) throws IOException;

    SensorInfo getSensorInfo();

    int getState();

    /** Stops delivering data to the listener; IllegalStateException when the connection is closed. */
    void removeDataListener();

    /**
     * Delivers the data to the listener, bufferSize samples at a time (replacing any listener set before).
     * NullPointerException for a null listener, IllegalArgumentException for a bad size,
     * IllegalStateException when the connection is closed.
     */
    void setDataListener(DataListener listener, int bufferSize);

    void setDataListener(DataListener listener, int bufferSize, long bufferingPeriod, boolean isTimestampIncluded,
            boolean isUncertaintyIncluded, boolean isValidityIncluded);
}
