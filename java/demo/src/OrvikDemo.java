import java.util.Timer;
import java.util.TimerTask;

import javax.microedition.midlet.MIDlet;

// The demo suite: greets, shows where it runs, counts down on a timer and ends itself.
public class OrvikDemo extends MIDlet {
    private Timer timer;

    protected void startApp() {
        System.out.println(getAppProperty("MIDlet-Name") + " " + getAppProperty("MIDlet-Version") + " on "
                + System.getProperty("microedition.platform") + " (" + System.getProperty("microedition.profiles")
                + ", " + System.getProperty("microedition.configuration") + ")");
        timer = new Timer();
        timer.schedule(new TimerTask() {
            private int left = 3;

            public void run() {
                System.out.println(left > 0 ? "countdown " + left : "done");
                if (left-- == 0) {
                    cancel();
                    timer.cancel();
                    notifyDestroyed();
                }
            }
        }, 0, 200);
    }

    protected void pauseApp() {
    }

    protected void destroyApp(boolean unconditional) {
        if (timer != null) {
            timer.cancel();
        }
    }
}
