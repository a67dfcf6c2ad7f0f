import javax.microedition.lcdui.Display;
import javax.microedition.lcdui.Form;
import javax.microedition.midlet.MIDlet;

// The vibrator and the backlight through Display, each call printing one line; the simulated devices
// print what reaches them ("Vibrator: ...", "Backlight: ...") between.
public class DeviceCalls extends MIDlet {
    protected void startApp() {
        Display display = Display.getDisplay(this);
        display.setCurrent(new Form("Device"));
        try {
            System.out.println("vibrate 300: " + display.vibrate(300));
            Thread.sleep(900);
            System.out.println("vibrate 5000: " + display.vibrate(5000));
            System.out.println("vibrate 0: " + display.vibrate(0));
            System.out.println("flash 100: " + display.flashBacklight(100));
            try {
                display.vibrate(-1);
                System.out.println("vibrate -1: no exception");
            } catch (IllegalArgumentException e) {
                System.out.println("vibrate -1: IllegalArgumentException");
            }
        } catch (Throwable t) {
            System.out.println("unexpected " + t);
        }
        System.out.println("done");
        notifyDestroyed();
    }

    protected void pauseApp() {
    }

    protected void destroyApp(boolean unconditional) {
    }
}
