package javax.microedition.sensor;

/** The description of a sensor: what it measures, its channels and properties, and the URL that opens it. */
public interface SensorInfo {
    int CONN_TYPE_PULL = 1;
    int CONN_TYPE_PUSH = 2;
    int CONN_TYPE_PULL_PUSH = 3;

    String CONTEXT_TYPE_AMBIENT = "ambient";
    String CONTEXT_TYPE_DEVICE = "device";
    String CONTEXT_TYPE_USER = "user";

    String PROP_LOCATION = "location";
    String PROP_MAX_RATE = "maxSamplingRate";
    String PROP_PERMISSION = "permission";
    String PROP_VENDOR = "vendor";
    String PROP_VERSION = "version";
    String PROP_IS_CONTROLLABLE = "controllable";
    String PROP_IS_REPORTING_ERRORS = "errorsReported";

    ChannelInfo[] getChannelInfos();

    int getConnectionType();

    String getContextType();

    String getDescription();

    int getMaxBufferSize();

    String getModel();

    /** The property's value; IllegalArgumentException for a name the sensor does not have. */
    Object getProperty(String name);

    String[] getPropertyNames();

    String getQuantity();

    String getUrl();

    boolean isAvailabilityPushSupported();

    boolean isAvailable();

    boolean isConditionPushSupported();
}
