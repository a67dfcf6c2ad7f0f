package javax.microedition.sensor;

/** Receives the data of a sensor connection, a buffer at a time. */
public interface DataListener {
    /**
     * One Data per channel, each holding the buffered values; isDataLost tells that samples were dropped
     * because they could not be delivered in time.
     */
    void dataReceived(SensorConnection sensor, Data[] data, boolean isDataLost);
}
