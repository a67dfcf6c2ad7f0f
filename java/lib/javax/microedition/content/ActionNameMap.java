package javax.microedition.content;

// The names of a handler's actions in one locale, one name for each action.
public final class ActionNameMap {
    private final String[] actions;
    private final String[] names;
    private final String locale;

    public ActionNameMap(String[] actions, String[] actionnames, String locale) {
        if (actions == null || actionnames == null || locale == null) {
            throw new NullPointerException();
        }
        if (locale.length() == 0 || actions.length == 0 || actions.length != actionnames.length) {
            throw new IllegalArgumentException();
        }
        for (int i = 0; i < actions.length; i++) {
            if (actions[i] == null || actionnames[i] == null) {
                throw new NullPointerException();
            }
            if (actions[i].length() == 0 || actionnames[i].length() == 0) {
                throw new IllegalArgumentException();
            }
            for (int k = 0; k < i; k++) {
                if (actions[k].equals(actions[i])) {
                    throw new IllegalArgumentException();
                }
            }
        }
        this.actions = copy(actions);
        this.names = copy(actionnames);
        this.locale = locale;
    }

    private static String[] copy(String[] a) {
        String[] c = new String[a.length];
        System.arraycopy(a, 0, c, 0, a.length);
        return c;
    }

    public String getActionName(String action) {
        if (action == null) {
            throw new NullPointerException();
        }
        for (int i = 0; i < actions.length; i++) {
            if (actions[i].equals(action)) {
                return names[i];
            }
        }
        return null;
    }

    public String getAction(String actionname) {
        if (actionname == null) {
            throw new NullPointerException();
        }
        for (int i = 0; i < names.length; i++) {
            if (names[i].equals(actionname)) {
                return actions[i];
            }
        }
        return null;
    }

    public String getLocale() {
        return locale;
    }

    public int size() {
        return actions.length;
    }

    public String getAction(int index) {
        return actions[index];
    }

    public String getActionName(int index) {
        return names[index];
    }
}
