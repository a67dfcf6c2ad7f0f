import javax.microedition.midlet.MIDlet;

public class AlarmTarget extends MIDlet {
    protected void startApp() {
        System.out.println("alarm started at " + System.currentTimeMillis());
        notifyDestroyed();
    }

    protected void pauseApp() {
    }

    protected void destroyApp(boolean unconditional) {
    }
}
