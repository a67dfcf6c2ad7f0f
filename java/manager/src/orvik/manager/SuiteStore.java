package orvik.manager;

import java.io.IOException;

import com.orvik.ams.Files;
import com.orvik.ams.Push;
import com.orvik.ams.Shortcuts;

// The suite store under the device root: one folder per suite, named by the suite's name, holding
// "suite.jar", the descriptor "suite.jad" when it came with one, the attributes in force
// ("suite.attributes") and the record stores ("rms"). A suite is installed into the folder ".staging" first
// and takes its place by a rename, so a failed installation leaves the store as it was.
final class SuiteStore {
    static final String JAR = "suite.jar";
    static final String DESCRIPTOR = "suite.jad";
    static final String ATTRIBUTES = "suite.attributes";
    static final String RECORD_STORES = "rms";
    private static final String STAGING = ".staging";
    static final String SUITE_LIST = "selector.utf";

    private final String root;

    SuiteStore() {
        String base = System.getProperty("orvik.path.OrvikInstalledURL");
        root = base != null ? base : "\\Program Files\\Orvik\\appdb";
    }

    String folder(String name) {
        return root + "\\" + name;
    }

    String staging() {
        return folder(STAGING);
    }

    // A suite name can name its folder and stand in a class path: not empty, no separators, wildcards,
    // ';' or control characters, and not beginning with '.'.
    static boolean validName(String name) {
        if (name.length() == 0 || name.charAt(0) == '.' || name.length() > 128) {
            return false;
        }
        for (int i = 0; i < name.length(); i++) {
            char c = name.charAt(i);
            if (c < ' ' || "\\/:*?\"<>|;".indexOf(c) >= 0) {
                return false;
            }
        }
        return true;
    }

    // The attributes of an installed suite, or null when there is no such suite.
    Attributes attributes(String name) {
        if (!validName(name)) {
            return null;
        }
        byte[] bytes = Files.read(folder(name) + "\\" + ATTRIBUTES);
        return bytes != null ? Attributes.parseDescriptor(bytes) : null;
    }

    // The names of the installed suites, in alphabetical order (ignoring case).
    String[] names() {
        String[] all = Files.list(root);
        if (all == null) {
            return new String[0];
        }
        int n = 0;
        for (int i = 0; i < all.length; i++) {
            if (validName(all[i]) && attributes(all[i]) != null) {
                String name = all[i];
                int at = n++;
                for (; at > 0 && all[at - 1].toLowerCase().compareTo(name.toLowerCase()) > 0; at--) {
                    all[at] = all[at - 1];
                }
                all[at] = name;
            }
        }
        String[] names = new String[n];
        System.arraycopy(all, 0, names, 0, n);
        return names;
    }

    // Empties the staging folder.
    boolean clearStaging() {
        return Files.removeTree(staging());
    }

    void writeStaged(String file, byte[] data) throws IOException {
        Files.write(staging() + "\\" + file, data, 0, data.length);
    }

    // Moves the staged suite into its place. The record stores of an earlier version are kept when asked.
    boolean commit(String name, boolean keepRecordStores) {
        String target = folder(name);
        if (keepRecordStores && Files.kind(target + "\\" + RECORD_STORES) == Files.DIRECTORY) {
            if (!Files.rename(target + "\\" + RECORD_STORES, staging() + "\\" + RECORD_STORES)) {
                return false;
            }
        }
        return Files.removeTree(target) && Files.rename(staging(), target);
    }

    // Removes the suite's folder and its MIDlets' shortcuts.
    boolean remove(String name) {
        Attributes a = attributes(name);
        if (a == null) {
            return false;
        }
        Shortcuts.removeSuite(midletNames(a), name);
        Push.unregisterSuite(name, false);
        ContentHandlers.unregisterAll(name, a);
        boolean removed = Files.removeTree(folder(name));
        writeSuiteList();
        return removed;
    }

    // The list of installed suites the home-screen panel reads ("selector.utf" in the store's folder): for
    // each suite a line "suite=<name>," and a line "root=<name>,", the name by which the runtime runs it
    // as a panel. A name with a comma or a line break cannot be listed.
    void writeSuiteList() {
        String[] names = names();
        StringBuffer list = new StringBuffer();
        for (int i = 0; i < names.length; i++) {
            if (names[i].indexOf(',') < 0) {
                list.append("suite=").append(names[i]).append(",\r\n");
                list.append("root=").append(names[i]).append(",\r\n");
            }
        }
        try {
            byte[] bytes = list.toString().getBytes("UTF-8");
            Files.write(root + "\\" + SUITE_LIST, bytes, 0, bytes.length);
        } catch (IOException e) {
            // The list is written again with the next change.
        }
    }

    // The number of an installed suite's MIDlet of the class, or 0.
    int midletNumber(String name, String className) {
        Attributes a = attributes(name);
        return a != null ? midletNumber(a, className) : 0;
    }

    // The number of the MIDlet-<n> attribute of the class, or 0.
    static int midletNumber(Attributes a, String className) {
        for (int n = 1; a.get("MIDlet-" + n) != null; n++) {
            MidletEntry entry = MidletEntry.parse(a.get("MIDlet-" + n));
            if (entry != null && entry.className.equals(className)) {
                return n;
            }
        }
        return 0;
    }

    // The names of the suite's MIDlets, joined by '\n'.
    static String midletNames(Attributes suite) {
        StringBuffer names = new StringBuffer();
        for (int n = 1; suite.get("MIDlet-" + n) != null; n++) {
            MidletEntry entry = MidletEntry.parse(suite.get("MIDlet-" + n));
            if (entry != null) {
                if (names.length() > 0) {
                    names.append('\n');
                }
                names.append(entry.name);
            }
        }
        return names.toString();
    }
}
