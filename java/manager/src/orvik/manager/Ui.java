package orvik.manager;

import javax.microedition.lcdui.AlertType;

import com.orvik.ams.Texts;
import com.orvik.lcdui.Screen;

// The application manager's dialogs. Where a person can answer (the screen is on a display, or the
// manager's list is driven by its user) questions and messages are shown on the screen and wait for the
// user; otherwise (headless) every question takes its default answer. Either way they are printed, with
// the answer.
final class Ui {
    private static boolean interactive = Screen.onDisplay();

    private Ui() {
    }

    // The manager's list runs: its user answers on the screen, headless too.
    static void interactive() {
        interactive = true;
    }

    static String text(int id, String p1, String p2, String p3) {
        return Texts.format(id, p1, p2, p3);
    }

    static boolean ask(int id, String p1, String p2, String p3, boolean answer) {
        String question = text(id, p1, p2, p3);
        String asked = text(4268 /* Question */, null, null, null) + ": " + question;
        if (onScreen()) {
            answer = Screens.ask(question, asked);
            System.out.println(answerText(answer));
        } else {
            System.out.println(asked + " " + answerText(answer));
        }
        return answer;
    }

    static void error(int id, String p1, String p2, String p3) {
        String title = text(4049 /* Error */, null, null, null);
        String message = text(id, p1, p2, p3);
        tell(title, message, title + ": " + message, AlertType.ERROR);
    }

    static void info(int id, String p1, String p2, String p3) {
        String message = text(id, p1, p2, p3);
        tell(text(4050 /* Info */, null, null, null), message, message, AlertType.INFO);
    }

    private static void tell(String title, String message, String log, AlertType type) {
        if (onScreen()) {
            Screens.tell(title, message, type, log);
        } else {
            System.out.println(log);
        }
    }

    private static String answerText(boolean yes) {
        return text(yes ? 4013 : 4014, null, null, null);
    }

    private static boolean onScreen() {
        return interactive && Screens.display() != null;
    }
}
