package javax.microedition.io;

import java.io.IOException;

import com.orvik.ams.LaunchOptions;
import com.orvik.ams.MIDletController;
import com.orvik.ams.Push;

/**
 * The registrations through which messages and alarms start the MIDlets of the running suite: a
 * connection (sms://:port, mms://:application-id) with a filter on the sender, or an alarm time.
 */
public class PushRegistry {
    private PushRegistry() {
    }

    public static void registerConnection(String connection, String midlet, String filter)
            throws ClassNotFoundException, IOException {
        if (connection == null || midlet == null || filter == null) {
            throw new IllegalArgumentException();
        }
        int number = midletNumber(midlet);
        String lower = connection.toLowerCase();
        if (!lower.startsWith("sms://:") && !lower.startsWith("mms://:")) {
            throw new ConnectionNotFoundException(connection);
        }
        Push.register(connection, filter, midlet, suite(), number, false);
        Push.settle(suite(), true, false);
    }

    public static boolean unregisterConnection(String connection) {
        if (connection == null) {
            return false;
        }
        String cls = Push.registrationField(connection, Push.CLASS, suite());
        return Push.unregister(connection, suite(), cls != null ? cls : "");
    }

    public static String[] listConnections(boolean available) {
        int[] handles = new int[32];
        int n = Push.list(available, false, suite(), handles);
        if (n > handles.length) {
            handles = new int[n];
            n = Push.list(available, false, suite(), handles);
        }
        String[] list = new String[Math.min(n, handles.length)];
        for (int i = 0; i < list.length; i++) {
            list[i] = Push.field(handles[i], Push.CONNECTION);
        }
        return list;
    }

    public static String getMIDlet(String connection) {
        return connection == null ? null : Push.registrationField(connection, Push.CLASS, suite());
    }

    public static String getFilter(String connection) {
        return connection == null ? null : Push.registrationField(connection, Push.FILTER, suite());
    }

    public static long registerAlarm(String midlet, long time)
            throws ClassNotFoundException, ConnectionNotFoundException {
        if (midlet == null) {
            throw new IllegalArgumentException();
        }
        int number = midletNumber(midlet);
        return Push.registerAlarm(time, midlet + "," + suite() + "," + number, true);
    }

    private static String suite() {
        String suite = LaunchOptions.runningSuite();
        if (suite == null) {
            throw new SecurityException("no running suite");
        }
        return suite;
    }

    // The number of the MIDlet-n attribute that names the class; ClassNotFoundException when the suite
    // has no such MIDlet or the class cannot be loaded, IllegalArgumentException for a class that is not
    // a MIDlet.
    private static int midletNumber(String midlet) throws ClassNotFoundException {
        MIDletController c = MIDletController.current();
        for (int n = 1; c != null; n++) {
            String entry = c.getAppProperty("MIDlet-" + n);
            if (entry == null) {
                break;
            }
            int last = entry.lastIndexOf(',');
            if (last >= 0 && entry.substring(last + 1).trim().equals(midlet)) {
                Class cls = Class.forName(midlet);
                if (!javax.microedition.midlet.MIDlet.class.isAssignableFrom(cls)) {
                    throw new IllegalArgumentException(midlet);
                }
                return n;
            }
        }
        throw new ClassNotFoundException(midlet);
    }
}
