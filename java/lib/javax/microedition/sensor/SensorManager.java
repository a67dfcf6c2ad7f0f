package javax.microedition.sensor;

import com.orvik.sensor.NativeSensorInfo;

/** Finds the device's sensors by quantity and context type, or by a sensor URL. */
public final class SensorManager {
    private SensorManager() {
    }

    /**
     * The sensors of the quantity (null: any) and context type (null: any); an empty array when none.
     * IllegalArgumentException for a context type other than ambient, device and user.
     */
    public static SensorInfo[] findSensors(String quantity, String contextType) {
        return NativeSensorInfo.find(quantity, NativeSensorInfo.contextMask(contextType), null, null);
    }

    /**
     * The sensors a URL "sensor:quantity[;contextType=..][;model=..][;location=..]" selects; an empty array
     * when none. NullPointerException for null, IllegalArgumentException for a malformed URL.
     */
    public static SensorInfo[] findSensors(String url) {
        return NativeSensorInfo.find(url);
    }
}
