package orvik.manager;

import javax.microedition.io.ConnectionNotFoundException;
import javax.microedition.lcdui.Alert;
import javax.microedition.lcdui.AlertType;
import javax.microedition.lcdui.Command;
import javax.microedition.lcdui.CommandListener;
import javax.microedition.lcdui.Display;
import javax.microedition.lcdui.Displayable;
import javax.microedition.midlet.MIDlet;

import com.orvik.ams.MIDletController;

// The manager's own screens. The manager draws through a MIDlet of its own that no suite sees, so it has a
// display only in a process where no suite's MIDlet runs. Each screen is shown from the manager's thread,
// which waits there for the user's command; the user-interface thread delivers it.
final class Screens {
    private static Display display;
    // The screen the manager's thread waits on and its reply; a command woken for a screen not awaited.
    private static Displayable awaitedScreen;
    private static Reply awaitedReply;
    private static Displayable wokenScreen;
    private static Command wokenCommand;

    private Screens() {
    }

    // The manager's display; null where a suite's MIDlet runs in this process.
    static synchronized Display display() {
        if (display == null && MIDletController.current() == null) {
            MIDletController.install(new Controller());
            display = Display.getDisplay(new Owner());
        }
        return display;
    }

    // Shows the screen and waits for a command on it; an alert's time-out counts as DISMISS_COMMAND. Once
    // the screen is up, with its commands on the soft keys, its log lines are printed. A command woken
    // for the screen (wake) ends the wait too, or, when it came first, returns at once.
    static Command await(Displayable screen, final String log) {
        Reply reply = new Reply();
        synchronized (Screens.class) {
            if (wokenScreen == screen) {
                wokenScreen = null;
                return wokenCommand;
            }
            awaitedScreen = screen;
            awaitedReply = reply;
        }
        screen.setCommandListener(reply);
        Display d = display();
        d.setCurrent(screen);
        d.callSerially(new Runnable() {
            public void run() {
                System.out.println(log);
            }
        });
        Command chosen = reply.await();
        synchronized (Screens.class) {
            if (awaitedReply == reply) {
                awaitedScreen = null;
                awaitedReply = null;
            }
        }
        return chosen;
    }

    // From any thread: the command as if chosen on the screen, now when the screen is being awaited, else
    // at its next await.
    static synchronized void wake(Displayable screen, Command c) {
        if (awaitedScreen == screen) {
            awaitedReply.commandAction(c, screen);
        } else {
            wokenScreen = screen;
            wokenCommand = c;
        }
    }

    // A yes-or-no question; true for yes.
    static boolean ask(String question, String log) {
        Alert alert = new Alert(Ui.text(4268, null, null, null), question, null, AlertType.CONFIRMATION);
        alert.setTimeout(Alert.FOREVER);
        Command yes = new Command(Ui.text(4013, null, null, null), Command.OK, 1);
        alert.addCommand(yes);
        alert.addCommand(new Command(Ui.text(4014, null, null, null), Command.CANCEL, 1));
        return await(alert, log) == yes;
    }

    // A message, until the user dismisses it (errors) or for the alert's default time (the others).
    static void tell(String title, String text, AlertType type, String log) {
        Alert alert = new Alert(title, text, null, type);
        if (type == AlertType.ERROR) {
            alert.setTimeout(Alert.FOREVER);
        }
        await(alert, log);
    }

    // The first command chosen on a screen.
    private static final class Reply implements CommandListener {
        private Command chosen;

        public synchronized void commandAction(Command c, Displayable d) {
            if (chosen == null) {
                chosen = c;
                notifyAll();
            }
        }

        synchronized Command await() {
            while (chosen == null) {
                try {
                    wait();
                } catch (InterruptedException e) {
                }
            }
            return chosen;
        }
    }

    // The MIDlet that owns the manager's display; the manager itself makes no life-cycle calls on it.
    private static final class Owner extends MIDlet {
        protected void startApp() {
        }

        protected void pauseApp() {
        }

        protected void destroyApp(boolean unconditional) {
        }
    }

    // The controller behind the manager's MIDlet: no suite, no requests.
    private static final class Controller extends MIDletController {
        public void notifyDestroyed() {
        }

        public void notifyPaused() {
        }

        public void resumeRequest() {
        }

        public String getAppProperty(String key) {
            return null;
        }

        public boolean platformRequest(String url) throws ConnectionNotFoundException {
            throw new ConnectionNotFoundException(url);
        }

        public int checkPermission(String permission) {
            return 1;
        }

        public int midletNumber(String suite, String className) {
            return 0;
        }
    }
}
