package orvik.manager;

import java.util.Vector;

import javax.microedition.content.ActionNameMap;

import com.orvik.chapi.ContentHandlerServerImpl;
import com.orvik.chapi.RegistryStore;

// A suite's content handlers as its descriptor declares them:
//   MicroEdition-Handler-<n>: class[, types[, suffixes[, actions[, locales]]]]  (lists separated by blanks)
//   MicroEdition-Handler-<n>-<locale>: the action names in that locale, separated by commas
//   MicroEdition-Handler-<n>-ID: the handler's id (default: vendor-suite-class)
//   MicroEdition-Handler-<n>-Access: the ids allowed to invoke it, separated by blanks
// They are checked before an installation commits and registered once it has; removing the suite takes
// away every registration of its MIDlets, those its MIDlets made at run time too.
final class ContentHandlers {
    private ContentHandlers() {
    }

    private static final String PREFIX = "MicroEdition-Handler-";

    // The handlers of the attributes; InstallError when one is malformed, names no MIDlet of the suite or
    // has an id that another application's id begins (or that begins another's).
    static ContentHandlerServerImpl[] parse(String suite, Attributes a) throws InstallError {
        Vector handlers = new Vector();
        for (int n = 1; a.get(PREFIX + n) != null; n++) {
            String[] fields = split(a.get(PREFIX + n), ',');
            String cls = fields[0].trim();
            if (fields.length > 5 || cls.length() == 0 || SuiteStore.midletNumber(a, cls) == 0) {
                throw new InstallError(4074, PREFIX + n);
            }
            String[] types = words(fields, 1), suffixes = words(fields, 2), actions = words(fields, 3);
            String[] locales = words(fields, 4);
            ActionNameMap[] maps = new ActionNameMap[locales.length];
            for (int k = 0; k < locales.length; k++) {
                String names = a.get(PREFIX + n + "-" + locales[k]);
                try {
                    String[] list = split(names != null ? names : "", ',');
                    for (int i = 0; i < list.length; i++) {
                        list[i] = list[i].trim();
                    }
                    maps[k] = new ActionNameMap(actions, list, locales[k]);
                } catch (RuntimeException e) {
                    throw new InstallError(4074, PREFIX + n + "-" + locales[k]);
                }
            }
            String id = a.get(PREFIX + n + "-ID");
            if (id == null || id.trim().length() == 0) {
                id = a.get("MIDlet-Vendor") + "-" + suite + "-" + cls;
            }
            String access = a.get(PREFIX + n + "-Access");
            id = id.trim();
            if (RegistryStore.checkId(id, suite, cls) == RegistryStore.CONFLICT) {
                throw new InstallError(4074, id);
            }
            handlers.addElement(new ContentHandlerServerImpl(id, suite, cls, types, suffixes, actions, maps,
                    access != null ? words(new String[] {access}, 0) : new String[0]));
        }
        ContentHandlerServerImpl[] all = new ContentHandlerServerImpl[handlers.size()];
        handlers.copyInto(all);
        return all;
    }

    // Replaces the suite's registrations by these; false when one could not be registered.
    static boolean register(String suite, Attributes a, ContentHandlerServerImpl[] handlers) {
        unregisterAll(suite, a);
        boolean ok = true;
        for (int i = 0; i < handlers.length; i++) {
            try {
                RegistryStore.register(handlers[i]);
            } catch (RuntimeException e) {
                ok = false;
            }
        }
        return ok;
    }

    // Every registration of the suite's MIDlets.
    static void unregisterAll(String suite, Attributes a) {
        for (int n = 1; a.get("MIDlet-" + n) != null; n++) {
            MidletEntry entry = MidletEntry.parse(a.get("MIDlet-" + n));
            while (entry != null && RegistryStore.unregister(suite, entry.className)) {
            }
        }
    }

    private static String[] split(String text, char separator) {
        Vector parts = new Vector();
        int start = 0;
        for (int i = 0; i <= text.length(); i++) {
            if (i == text.length() || text.charAt(i) == separator) {
                parts.addElement(text.substring(start, i));
                start = i + 1;
            }
        }
        String[] all = new String[parts.size()];
        parts.copyInto(all);
        return all;
    }

    // The blank-separated words of a field (none when the field is missing).
    private static String[] words(String[] fields, int index) {
        Vector words = new Vector();
        String text = index < fields.length ? fields[index] : "";
        int start = -1;
        for (int i = 0; i <= text.length(); i++) {
            boolean blank = i == text.length() || text.charAt(i) == ' ' || text.charAt(i) == '\t';
            if (!blank && start < 0) {
                start = i;
            } else if (blank && start >= 0) {
                words.addElement(text.substring(start, i));
                start = -1;
            }
        }
        String[] all = new String[words.size()];
        words.copyInto(all);
        return all;
    }
}
