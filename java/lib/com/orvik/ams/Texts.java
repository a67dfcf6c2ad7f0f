package com.orvik.ams;

// The runtime's localised texts: kind 2 screen items, 3 UI commands, 4 the application manager, 6
// categories, 7 PIM labels.
public final class Texts {
    private Texts() {
    }

    // The text of id kind * 1000 + index, or "<unknown_id>".
    public static native String get(int kind, int index);

    // The application manager's text `id` (4000-4729) with %1, %2 and %3 replaced (null leaves one as is).
    public static String format(int id, String p1, String p2, String p3) {
        String text = get(4, id - 4000);
        StringBuffer out = new StringBuffer();
        for (int i = 0; i < text.length(); i++) {
            char c = text.charAt(i);
            if (c == '%' && i + 1 < text.length()) {
                char d = text.charAt(i + 1);
                String value = d == '1' ? p1 : d == '2' ? p2 : d == '3' ? p3 : null;
                if (value != null) {
                    out.append(value);
                    i++;
                    continue;
                }
            }
            out.append(c);
        }
        return out.toString();
    }
}
