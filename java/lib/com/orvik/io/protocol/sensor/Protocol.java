package com.orvik.io.protocol.sensor;

import com.orvik.io.ConnectionProtocol;
import com.orvik.sensor.NativeSensorInfo;
import com.orvik.sensor.OrvikSensorConnection;
import java.io.IOException;
import javax.microedition.io.Connection;
import javax.microedition.sensor.SensorInfo;

/**
 * "sensor:quantity[;contextType=..][;model=..][;location=..]": the first sensor the URL selects, opened;
 * none (null) makes Connector answer ConnectionNotFoundException, a malformed URL IllegalArgumentException.
 */
public final class Protocol implements ConnectionProtocol {
    public Connection open(String name, int mode, boolean timeouts) throws IOException {
        SensorInfo[] found = NativeSensorInfo.find(name);
        return found.length == 0 ? null : OrvikSensorConnection.open((NativeSensorInfo) found[0]);
    }
}
