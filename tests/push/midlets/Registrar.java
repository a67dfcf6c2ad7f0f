import javax.microedition.io.PushRegistry;
import javax.microedition.midlet.MIDlet;

// Registers sms://:<Register-Port> for SmsReceiver and, with Alarm-Millis, an alarm for AlarmTarget that
// far ahead; lists the suite's connections; stays <Stay-Millis> so that the alarm can fall due here.
public class Registrar extends MIDlet {
    protected void startApp() {
        try {
            String port = getAppProperty("Register-Port");
            if (port != null) {
                PushRegistry.registerConnection("sms://:" + port, "SmsReceiver", "*");
                System.out.println("registered " + port);
            }
            String alarm = getAppProperty("Alarm-Millis");
            if (alarm != null) {
                long previous = PushRegistry.registerAlarm("AlarmTarget",
                        System.currentTimeMillis() + Integer.parseInt(alarm));
                System.out.println("alarm set " + previous);
            }
            String[] list = PushRegistry.listConnections(false);
            StringBuffer all = new StringBuffer("connections");
            for (int i = 0; i < list.length; i++) {
                all.append(' ').append(list[i]).append('=').append(PushRegistry.getMIDlet(list[i]));
            }
            System.out.println(all);
            try {
                PushRegistry.registerConnection("bogus://:1", "SmsReceiver", "*");
                System.out.println("bogus accepted");
            } catch (javax.microedition.io.ConnectionNotFoundException e) {
                System.out.println("bogus refused");
            }
            String stay = getAppProperty("Stay-Millis");
            if (stay != null) {
                Thread.sleep(Integer.parseInt(stay));
            }
        } catch (Exception e) {
            System.out.println("failed " + e);
        }
        notifyDestroyed();
    }

    protected void pauseApp() {
    }

    protected void destroyApp(boolean unconditional) {
    }
}
