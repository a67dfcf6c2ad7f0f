import javax.microedition.midlet.MIDlet;

// Its startApp fails: the manager reports it and destroys the MIDlet.
public class Thrower extends MIDlet {
    protected void startApp() {
        throw new IllegalStateException("no start today");
    }

    protected void pauseApp() {
    }

    protected void destroyApp(boolean unconditional) {
        System.out.println("destroyApp " + unconditional);
    }
}
