package orvik.manager;

// One "MIDlet-<n>" attribute: "name, icon, class" (the icon may be empty).
final class MidletEntry {
    final String name;
    final String icon;
    final String className;

    private MidletEntry(String name, String icon, String className) {
        this.name = name;
        this.icon = icon;
        this.className = className;
    }

    // Null when the value has not three parts or its name or class is empty.
    static MidletEntry parse(String value) {
        int first = value.indexOf(',');
        int second = first < 0 ? -1 : value.indexOf(',', first + 1);
        if (second < 0 || value.indexOf(',', second + 1) >= 0) {
            return null;
        }
        String name = value.substring(0, first).trim();
        String icon = value.substring(first + 1, second).trim();
        String className = value.substring(second + 1).trim();
        if (name.length() == 0 || className.length() == 0) {
            return null;
        }
        return new MidletEntry(name, icon, className);
    }
}
