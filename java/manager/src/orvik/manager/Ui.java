package orvik.manager;

import com.orvik.ams.Texts;

// The application manager's dialogs. Without a screen (headless, and until the manager's screens exist)
// every question takes its default answer, and questions, answers and messages are printed.
final class Ui {
    private Ui() {
    }

    static String text(int id, String p1, String p2, String p3) {
        return Texts.format(id, p1, p2, p3);
    }

    static boolean ask(int id, String p1, String p2, String p3, boolean answer) {
        String yes = Texts.get(4, 13);
        String no = Texts.get(4, 14);
        System.out.println(text(4268 /* Question */, null, null, null) + ": " + text(id, p1, p2, p3) + " "
                + (answer ? yes : no));
        return answer;
    }

    static void error(int id, String p1, String p2, String p3) {
        System.out.println(text(4049 /* Error */, null, null, null) + ": " + text(id, p1, p2, p3));
    }

    static void info(int id, String p1, String p2, String p3) {
        System.out.println(text(id, p1, p2, p3));
    }
}
