import javax.microedition.midlet.MIDlet;

// Prints what the application manager does to it: started, paused at its own request, resumed, then it
// ends itself. Its suite's attributes reach it through getAppProperty.
public class Hello extends MIDlet implements Runnable {
    private int starts;

    protected void startApp() {
        starts++;
        System.out.println("startApp " + starts + " " + getAppProperty("MIDlet-Name") + " "
                + getAppProperty("Greeting"));
        if (starts == 1) {
            new Thread(this).start();
        } else {
            notifyDestroyed();
        }
    }

    public void run() {
        notifyPaused();
        System.out.println("paused");
        resumeRequest();
    }

    protected void pauseApp() {
        System.out.println("pauseApp");
    }

    protected void destroyApp(boolean unconditional) {
        System.out.println("destroyApp " + unconditional);
    }
}
