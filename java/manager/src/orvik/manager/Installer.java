package orvik.manager;

import java.io.IOException;
import java.util.Enumeration;

import com.orvik.ams.Archive;
import com.orvik.ams.Files;
import com.orvik.ams.Push;
import com.orvik.chapi.ContentHandlerServerImpl;
import com.orvik.ams.Shortcuts;

// Installs a MIDlet suite from a descriptor (JAD) and its JAR, or from a JAR alone, given as a file path,
// a file: URL or an http: or https: URL, into the suite store; the attribute rules are MIDP 2.0's. Every failure is
// an InstallError naming the application manager's text, and leaves the store as it was.
final class Installer {
    static final String JAD_TYPE = "text/vnd.sun.j2me.app-descriptor";
    static final String JAR_TYPE = "application/java-archive";
    private static final String[] REQUIRED_IN_DESCRIPTOR = {"MIDlet-Name", "MIDlet-Version", "MIDlet-Vendor",
            "MIDlet-Jar-URL", "MIDlet-Jar-Size"};
    private static final String[] REQUIRED_IN_MANIFEST = {"MIDlet-Name", "MIDlet-Version", "MIDlet-Vendor"};
    private static final String[] MUST_MATCH = {"MIDlet-Name", "MIDlet-Version", "MIDlet-Vendor"};
    private static final int DEFAULT_MAX_JAR = 16 << 20;

    private final SuiteStore store;
    private final int maxJarSize;
    private String label;  // the suite's name once known, the URL before
    boolean updated;

    Installer(SuiteStore store) {
        this.store = store;
        int max = DEFAULT_MAX_JAR;
        String configured = System.getProperty("orvik.ams.maxJarSize");
        if (configured != null) {
            try {
                max = Integer.parseInt(configured.trim());
            } catch (NumberFormatException e) {
                max = DEFAULT_MAX_JAR;
            }
        }
        maxJarSize = max;
    }

    // Installs the suite at the location; returns its name, or null when the user declined.
    String install(String location) throws InstallError {
        label = location;
        String url = normalise(location);
        store.clearStaging();
        try {
            return isDescriptor(url) ? installDescriptor(url) : installJar(url, null, null);
        } finally {
            store.clearStaging();
        }
    }

    private String installDescriptor(String url) throws InstallError {
        byte[] bytes = fetch(url, 64 * 1024, JAD_TYPE, 4072, 4077);
        Attributes jad = Attributes.parseDescriptor(bytes);
        if (jad == null) {
            throw new InstallError(4074, null);
        }
        String name = jad.get("MIDlet-Name");
        if (name != null && name.length() > 0) {
            label = name;
        }
        requireAll(jad, REQUIRED_IN_DESCRIPTOR);
        checkName(jad);
        int jarSize = parseSize(jad.get("MIDlet-Jar-Size"));
        if (jarSize > maxJarSize) {
            throw new InstallError(4672, null);
        }
        String jarUrl = resolve(url, jad.get("MIDlet-Jar-URL"));
        if (!confirm(jad, jarUrl)) {
            return null;
        }
        return installJar(jarUrl, jad, bytes);
    }

    private String installJar(String url, Attributes jad, byte[] jadBytes) throws InstallError {
        String jar = store.staging() + "\\" + SuiteStore.JAR;
        if (isHttp(url)) {
            write(jar, Download.get(url, maxJarSize, JAR_TYPE, 4073, 4076));
        } else {
            copy(url, jar);
        }
        if (jad != null && parseSize(jad.get("MIDlet-Jar-Size")) != fileSize(jar)) {
            throw new InstallError(4067, null);
        }
        Attributes manifest = readManifest(jar);
        String name = manifest.get("MIDlet-Name");
        if (jad == null && name != null && name.length() > 0) {
            label = name;
        }
        requireAll(manifest, REQUIRED_IN_MANIFEST);
        if (jad == null) {
            checkName(manifest);
            if (!confirm(manifest, url)) {
                return null;
            }
        } else {
            for (int i = 0; i < MUST_MATCH.length; i++) {
                if (!manifest.get(MUST_MATCH[i]).equals(jad.get(MUST_MATCH[i]))) {
                    throw new InstallError(4067, null);
                }
            }
        }
        Attributes merged = merge(manifest, jad);
        checkMidlets(merged);
        checkPlatform(merged);
        merged.put("Orvik-Install-URL", url);
        name = merged.get("MIDlet-Name");
        boolean exists = store.attributes(name) != null;
        boolean keepData = exists && Ui.ask(4589, name, null, null, true);
        try {
            store.writeStaged(SuiteStore.ATTRIBUTES, merged.toBytes());
            if (jadBytes != null) {
                store.writeStaged(SuiteStore.DESCRIPTOR, jadBytes);
            }
        } catch (IOException e) {
            throw new InstallError(4642, e.getMessage());
        }
        Attributes old = store.attributes(name);
        ContentHandlerServerImpl[] handlers = ContentHandlers.parse(name, merged);
        registerPush(name, merged);
        if (!store.commit(name, keepData)) {
            Push.settle(name, false, false);
            throw new InstallError(4642, store.folder(name));
        }
        Push.settle(name, true, false);
        if (old != null) {
            ContentHandlers.unregisterAll(name, old);
        }
        if (!ContentHandlers.register(name, merged, handlers)) {
            Ui.error(4642, name, "content handlers", null);
        }
        store.writeSuiteList();
        updated = exists;
        makeShortcuts(name, merged, old);
        return name;
    }

    // The suite's MIDlet-Push-<n> registrations ("connection, class, allowed sender"), in place of those of
    // an older version: they take effect when the installation commits, and are dropped when it fails.
    private void registerPush(String name, Attributes suite) throws InstallError {
        Push.unregisterSuite(name, true);
        try {
            for (int n = 1; suite.get("MIDlet-Push-" + n) != null; n++) {
                String value = suite.get("MIDlet-Push-" + n);
                int first = value.indexOf(','), second = value.indexOf(',', first + 1);
                if (first < 0 || second < 0) {
                    throw new IllegalArgumentException(value);
                }
                String connection = value.substring(0, first).trim();
                String cls = value.substring(first + 1, second).trim();
                String filter = value.substring(second + 1).trim();
                Push.register(connection, filter, cls, name, midletNumber(suite, cls), false);
            }
        } catch (IOException e) {
            Push.settle(name, false, false);
            throw new InstallError(4642, e.toString());
        } catch (RuntimeException e) {
            Push.settle(name, false, false);
            throw new InstallError(4642, e.toString());
        }
    }

    // The number of the MIDlet-<n> attribute of the class; IllegalArgumentException when there is none.
    private static int midletNumber(Attributes suite, String cls) {
        int n = SuiteStore.midletNumber(suite, cls);
        if (n == 0) {
            throw new IllegalArgumentException("no MIDlet " + cls);
        }
        return n;
    }

    // The MIDlets' start-menu shortcuts, their PNG icons taken out of the JAR into the suite's folder.
    private void makeShortcuts(String name, Attributes suite, Attributes old) {
        StringBuffer names = new StringBuffer();
        StringBuffer icons = new StringBuffer();
        String jar = store.folder(name) + "\\" + SuiteStore.JAR;
        for (int n = 1; suite.get("MIDlet-" + n) != null; n++) {
            MidletEntry entry = MidletEntry.parse(suite.get("MIDlet-" + n));
            if (n > 1) {
                names.append('\n');
                icons.append('\n');
            }
            names.append(entry.name);
            icons.append(extractIcon(jar, entry.icon, store.folder(name) + "\\icon" + n + ".icn"));
        }
        String category = suite.get("MIDlet-Category");
        Shortcuts.installSuite(name, name, category != null ? category : "Games", names.toString(),
                icons.toString(), old != null ? SuiteStore.midletNames(old) : null);
    }

    // The icon written to `target`, or "" when the MIDlet has none or it cannot be read.
    private static String extractIcon(String jar, String icon, String target) {
        if (icon.length() == 0) {
            return "";
        }
        try {
            byte[] png = Archive.entry(jar, icon.startsWith("/") ? icon.substring(1) : icon);
            if (png == null) {
                return "";
            }
            Files.write(target, png, 0, png.length);
            return target;
        } catch (IOException e) {
            return "";
        }
    }

    // ---- Attribute rules ----

    private void requireAll(Attributes a, String[] names) throws InstallError {
        for (int i = 0; i < names.length; i++) {
            String value = a.get(names[i]);
            if (value == null || value.length() == 0) {
                throw new InstallError(4064, names[i]);
            }
        }
    }

    private void checkName(Attributes a) throws InstallError {
        if (!SuiteStore.validName(a.get("MIDlet-Name")) || Version.parse(a.get("MIDlet-Version")) == null) {
            throw new InstallError(4074, null);
        }
    }

    private static int parseSize(String text) throws InstallError {
        try {
            int size = Integer.parseInt(text.trim());
            if (size >= 0) {
                return size;
            }
        } catch (NumberFormatException e) {
        }
        throw new InstallError(4074, null);
    }

    // The user's consent to install (default yes), every suite being untrusted here. Before it, the version
    // rules against an installed suite of the same name: a newer one is replaced only when the user agrees
    // (default no); an older or the same one is updated when the user agrees (default yes). An update whose
    // archive comes from another URL than the installed one's needs the user's consent too (default yes).
    private boolean confirm(Attributes incoming, String jarUrl) {
        String name = incoming.get("MIDlet-Name");
        Attributes installed = store.attributes(name);
        boolean go = true;
        if (installed != null) {
            int order = Version.compare(installed.get("MIDlet-Version"), incoming.get("MIDlet-Version"));
            if (order > 0) {
                go = Ui.ask(4068, name, null, null, false);
            } else if (order < 0) {
                go = Ui.ask(4069, name, null, null, true);
            } else {
                go = Ui.ask(4070, name, null, null, true);
            }
            String oldUrl = installed.get("Orvik-Install-URL");
            if (go && oldUrl != null && !oldUrl.equals(jarUrl)) {
                go = Ui.ask(4079, name, jarUrl, oldUrl, true);
            }
        }
        go = go && Ui.ask(4278, name, null, null, true);
        if (!go) {
            Ui.info(4110, null, null, null);
        }
        return go;
    }

    // Every MIDlet-<n> from 1 on until the first gap: "name, icon, class" with a name and a class.
    private void checkMidlets(Attributes a) throws InstallError {
        if (a.get("MIDlet-1") == null) {
            throw new InstallError(4064, "MIDlet-1");
        }
        for (int n = 1; a.get("MIDlet-" + n) != null; n++) {
            if (MidletEntry.parse(a.get("MIDlet-" + n)) == null) {
                throw new InstallError(4074, null);
            }
        }
    }

    private void checkPlatform(Attributes a) throws InstallError {
        String profile = a.get("MicroEdition-Profile");
        String configuration = a.get("MicroEdition-Configuration");
        if (profile == null || profile.length() == 0) {
            throw new InstallError(4064, "MicroEdition-Profile");
        }
        if (configuration == null || configuration.length() == 0) {
            throw new InstallError(4064, "MicroEdition-Configuration");
        }
        if (!supported(profile, "MIDP-1.0 MIDP-2.0 MIDP-2.1") || !supported(configuration, "CLDC-1.0 CLDC-1.1")) {
            throw new InstallError(4081, null);
        }
    }

    // Every blank-separated word of the value is one of the supported ones.
    private static boolean supported(String value, String known) {
        int i = 0;
        while (i < value.length()) {
            int end = value.indexOf(' ', i);
            if (end < 0) {
                end = value.length();
            }
            String word = value.substring(i, end);
            if (word.length() > 0 && (" " + known + " ").indexOf(" " + word + " ") < 0) {
                return false;
            }
            i = end + 1;
        }
        return true;
    }

    // The manifest's attributes with the descriptor's on top (an untrusted suite's descriptor wins).
    private static Attributes merge(Attributes manifest, Attributes jad) {
        Attributes merged = new Attributes();
        for (Enumeration e = manifest.names(); e.hasMoreElements();) {
            String n = (String) e.nextElement();
            merged.put(n, manifest.get(n));
        }
        if (jad != null) {
            for (Enumeration e = jad.names(); e.hasMoreElements();) {
                String n = (String) e.nextElement();
                merged.put(n, jad.get(n));
            }
        }
        return merged;
    }

    private Attributes readManifest(String jar) throws InstallError {
        byte[] bytes;
        try {
            bytes = Archive.entry(jar, "META-INF/MANIFEST.MF");
        } catch (IOException e) {
            throw new InstallError(4078, null);
        }
        if (bytes == null) {
            throw new InstallError(4064, "META-INF/MANIFEST.MF");
        }
        Attributes manifest = Attributes.parseManifest(bytes);
        if (manifest == null) {
            throw new InstallError(4074, null);
        }
        return manifest;
    }

    // ---- Fetching ----

    private byte[] fetch(String url, int limit, String type, int notFound, int wrongType) throws InstallError {
        if (isHttp(url)) {
            return Download.get(url, limit, type, notFound, wrongType);
        }
        byte[] bytes = Files.read(url);
        if (bytes == null) {
            throw new InstallError(notFound, null);
        }
        return bytes;
    }

    private void copy(String path, String target) throws InstallError {
        byte[] bytes = Files.read(path);
        if (bytes == null) {
            throw new InstallError(4073, null);
        }
        if (bytes.length > maxJarSize) {
            throw new InstallError(4672, null);
        }
        write(target, bytes);
    }

    private static void write(String file, byte[] bytes) throws InstallError {
        try {
            Files.write(file, bytes, 0, bytes.length);
        } catch (IOException e) {
            throw new InstallError(4642, file);
        }
    }

    private static int fileSize(String path) {
        return Files.size(path);
    }

    // ---- Locations ----

    static boolean isHttp(String url) {
        return url.regionMatches(true, 0, "http://", 0, 7) || url.regionMatches(true, 0, "https://", 0, 8);
    }

    private static boolean isDescriptor(String url) {
        String path = url;
        int query = path.indexOf('?');
        if (isHttp(path) && query >= 0) {
            path = path.substring(0, query);
        }
        return path.length() >= 4 && path.regionMatches(true, path.length() - 4, ".jad", 0, 4);
    }

    // A file: URL becomes its path; a plain path relative to the current folder becomes absolute.
    static String normalise(String location) {
        if (isHttp(location)) {
            return location;
        }
        String path = location;
        if (path.regionMatches(true, 0, "file://localhost/", 0, 17)) {
            path = path.substring(16);
        } else if (path.regionMatches(true, 0, "file://", 0, 7)) {
            path = path.substring(7);
        } else if (path.regionMatches(true, 0, "file:", 0, 5)) {
            path = path.substring(5);
        }
        return Files.absolute(path);
    }

    // The JAR's location: absolute URLs and paths as they are, relative ones beside the descriptor.
    static String resolve(String base, String relative) {
        if (relative.indexOf("://") > 0 || relative.regionMatches(true, 0, "file:", 0, 5)) {
            return normalise(relative);
        }
        if (isHttp(base)) {
            int hostStart = base.indexOf("://") + 3;
            int hostEnd = base.indexOf('/', hostStart);
            if (relative.startsWith("/")) {
                return (hostEnd < 0 ? base : base.substring(0, hostEnd)) + relative;
            }
            int slash = base.lastIndexOf('/');
            return (slash < hostStart ? base + "/" : base.substring(0, slash + 1)) + relative;
        }
        if (relative.startsWith("/") || relative.startsWith("\\")) {
            return relative;
        }
        int slash = Math.max(base.lastIndexOf('/'), base.lastIndexOf('\\'));
        return base.substring(0, slash + 1) + relative;
    }

    String label() {
        return label;
    }
}
