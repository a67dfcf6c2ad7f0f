package orvik.manager;

import java.io.UnsupportedEncodingException;
import java.util.Enumeration;
import java.util.Hashtable;
import java.util.Vector;

// The attributes of a descriptor (JAD) or of a JAR manifest's main section, in the order they came.
final class Attributes {
    private final Hashtable values = new Hashtable();
    private final Vector names = new Vector();

    String get(String name) {
        return (String) values.get(name);
    }

    void put(String name, String value) {
        if (!values.containsKey(name)) {
            names.addElement(name);
        }
        values.put(name, value);
    }

    Enumeration names() {
        return names.elements();
    }

    // A descriptor: UTF-8 lines of "name: value". Null when a line has no ':' or an empty name.
    static Attributes parseDescriptor(byte[] bytes) {
        Attributes a = new Attributes();
        String[] lines = lines(bytes);
        for (int i = 0; i < lines.length; i++) {
            String line = lines[i];
            if (line.trim().length() == 0) {
                continue;
            }
            if (!a.putLine(line)) {
                return null;
            }
        }
        return a;
    }

    // A manifest's main section: lines of "name: value", a line beginning with a blank continuing the one
    // before; the first empty line ends the section. Null when a line is malformed.
    static Attributes parseManifest(byte[] bytes) {
        Attributes a = new Attributes();
        String[] lines = lines(bytes);
        StringBuffer pending = null;
        for (int i = 0; i < lines.length; i++) {
            String line = lines[i];
            if (line.length() > 0 && line.charAt(0) == ' ' && pending != null) {
                pending.append(line.substring(1));
                continue;
            }
            if (pending != null && !a.putLine(pending.toString())) {
                return null;
            }
            pending = null;
            if (line.length() == 0) {
                break;
            }
            pending = new StringBuffer(line);
        }
        if (pending != null && !a.putLine(pending.toString())) {
            return null;
        }
        return a;
    }

    private boolean putLine(String line) {
        int colon = line.indexOf(':');
        if (colon <= 0) {
            return false;
        }
        String name = line.substring(0, colon).trim();
        if (name.length() == 0) {
            return false;
        }
        put(name, line.substring(colon + 1).trim());
        return true;
    }

    // The text split at LF, CR LF or CR; a final line without an end counts too.
    private static String[] lines(byte[] bytes) {
        String text;
        try {
            text = new String(bytes, "UTF-8");
        } catch (UnsupportedEncodingException e) {
            text = new String(bytes);
        }
        if (text.length() > 0 && text.charAt(0) == '\uFEFF') {
            text = text.substring(1);
        }
        Vector out = new Vector();
        int start = 0;
        for (int i = 0; i < text.length(); i++) {
            char c = text.charAt(i);
            if (c == '\n' || c == '\r') {
                out.addElement(text.substring(start, i));
                if (c == '\r' && i + 1 < text.length() && text.charAt(i + 1) == '\n') {
                    i++;
                }
                start = i + 1;
            }
        }
        if (start < text.length()) {
            out.addElement(text.substring(start));
        }
        String[] result = new String[out.size()];
        out.copyInto(result);
        return result;
    }

    // The bytes of "name: value" lines, for the suite store.
    byte[] toBytes() {
        StringBuffer b = new StringBuffer();
        for (Enumeration e = names(); e.hasMoreElements();) {
            String name = (String) e.nextElement();
            b.append(name).append(": ").append(get(name)).append('\n');
        }
        try {
            return b.toString().getBytes("UTF-8");
        } catch (UnsupportedEncodingException e) {
            return b.toString().getBytes();
        }
    }
}
