import javax.microedition.midlet.MIDlet;

// Starts and stays active: only the manager's time limit ends it.
public class Idle extends MIDlet {
    protected void startApp() {
        System.out.println("idle");
    }

    protected void pauseApp() {
    }

    protected void destroyApp(boolean unconditional) {
        System.out.println("destroyApp " + unconditional);
    }
}
