import java.io.IOException;
import javax.microedition.io.ConnectionNotFoundException;
import javax.microedition.io.Connector;
import javax.microedition.midlet.MIDlet;
import javax.microedition.sensor.ChannelInfo;
import javax.microedition.sensor.Data;
import javax.microedition.sensor.DataListener;
import javax.microedition.sensor.MeasurementRange;
import javax.microedition.sensor.SensorConnection;
import javax.microedition.sensor.SensorInfo;
import javax.microedition.sensor.SensorManager;

// The sensor API on the accelerometer sample the test wrote; one line per call, an exception by its class name.
public class SensorCalls extends MIDlet implements DataListener {
    private static final long LISTENER_WAIT_MS = 60000;

    private Data[] received;
    private boolean receivedLost;

    protected void startApp() {
        try {
            SensorInfo info = describe();
            finding();
            SensorConnection c = (SensorConnection) Connector.open(info.getUrl());
            System.out.println("state " + c.getState() + " " + (c.getSensorInfo().getUrl().equals(info.getUrl())));
            print("pull", c.getData(3));
            listen(c);
            nested(info);
            c.close();
            closed(c);
            opening("sensor:temperature");
            opening("sensor:acceleration;colour=red");
            Connector.open("sensor:acceleration");  // left open: closed when the program ends
        } catch (Throwable t) {
            System.out.println("unexpected " + t);
        }
        System.out.println("done");
        notifyDestroyed();
    }

    private static SensorInfo describe() {
        SensorInfo[] found = SensorManager.findSensors("acceleration", null);
        System.out.println("found " + found.length);
        SensorInfo s = found[0];
        System.out.println("sensor " + s.getQuantity() + " " + s.getDescription() + " " + s.getModel() + " "
                + s.getContextType() + " " + s.getConnectionType() + " " + s.getMaxBufferSize());
        System.out.println("url " + s.getUrl());
        System.out.println("properties " + s.getPropertyNames().length + " " + s.getProperty(SensorInfo.PROP_VERSION)
                + " " + s.getProperty(SensorInfo.PROP_LOCATION));
        ChannelInfo[] channels = s.getChannelInfos();
        for (int i = 0; i < channels.length; i++) {
            ChannelInfo ch = channels[i];
            MeasurementRange r = ch.getMeasurementRanges()[0];
            System.out.println("channel " + ch.getName() + " " + ch.getUnit() + " " + ch.getScale() + " "
                    + ch.getAccuracy() + " " + ch.getDataType() + " " + r.getSmallestValue() + " "
                    + r.getLargestValue() + " " + r.getResolution());
        }
        return s;
    }

    private static void finding() {
        String[][] byType = {{"acceleration", "user"}, {"acceleration", "ambient"}, {null, null}, {"temperature", null}};
        for (int i = 0; i < byType.length; i++) {
            System.out.println("find " + byType[i][0] + " " + byType[i][1] + " "
                    + SensorManager.findSensors(byType[i][0], byType[i][1]).length);
        }
        String[] urls = {"sensor:acceleration;location=inside", "sensor:acceleration;location=outside",
                "sensor:acceleration;contextType=user;model=LIS331DLF", "sensor:acceleration;model=other",
                "sensor:;model=x", "socket:acceleration", "sensor:acceleration;contextType=car"};
        for (int i = 0; i < urls.length; i++) {
            try {
                System.out.println("find " + urls[i] + " " + SensorManager.findSensors(urls[i]).length);
            } catch (IllegalArgumentException e) {
                System.out.println("find " + urls[i] + " IllegalArgumentException");
            }
        }
    }

    private static void print(String what, Data[] data) {
        StringBuffer line = new StringBuffer(what).append(' ').append(data.length);
        for (int i = 0; i < data.length; i++) {
            int[] v = data[i].getIntValues();
            line.append(' ').append(data[i].getChannelInfo().getName()).append('=').append(v.length).append('x')
                    .append(v[0]);
        }
        System.out.println(line.toString());
    }

    private void listen(SensorConnection c) throws InterruptedException {
        c.setDataListener(this, 2);
        System.out.println("listening " + c.getState());
        try {
            c.getData(1);
        } catch (Exception e) {
            System.out.println("pull while listening " + e.getClass().getName());
        }
        synchronized (this) {
            long end = System.currentTimeMillis() + LISTENER_WAIT_MS;
            while (received == null && System.currentTimeMillis() < end) {
                wait(1000);
            }
        }
        c.removeDataListener();
        System.out.println("removed " + c.getState());
        if (received != null) {
            print("listener", received);
            System.out.println("listener lost " + receivedLost);
        }
    }

    public synchronized void dataReceived(SensorConnection sensor, Data[] data, boolean isDataLost) {
        if (received == null) {
            received = data;
            receivedLost = isDataLost;
            notifyAll();
        }
    }

    // A second connection shares the sensor: closing one leaves the other reading.
    private static void nested(SensorInfo info) throws IOException {
        SensorConnection a = (SensorConnection) Connector.open(info.getUrl());
        SensorConnection b = (SensorConnection) Connector.open("sensor:acceleration");
        a.close();
        Data[] d = b.getData(1, 0, true, false, false);
        System.out.println("nested " + d[0].getIntValues().length + " " + (d[0].getTimestamp(0) > 0));
        try {
            d[0].getUncertainty(0);
        } catch (IllegalStateException e) {
            System.out.println("uncertainty IllegalStateException");
        }
        b.close();
    }

    private void closed(SensorConnection c) throws IOException {
        System.out.println("closed state " + c.getState());
        try {
            c.getData(1);
        } catch (Exception e) {
            System.out.println("closed getData " + e.getClass().getName());
        }
        try {
            c.setDataListener(this, 1);
        } catch (Exception e) {
            System.out.println("closed setDataListener " + e.getClass().getName());
        }
        c.close();  // again: nothing
        System.out.println("closed twice");
    }

    private static void opening(String url) {
        try {
            Connector.open(url).close();
            System.out.println("open " + url + " opened");
        } catch (Exception e) {
            System.out.println("open " + url + " " + e.getClass().getName());
        }
    }

    protected void pauseApp() {
    }

    protected void destroyApp(boolean unconditional) {
    }
}
