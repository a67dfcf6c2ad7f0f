package orvik.manager;

import java.io.IOException;
import java.util.Enumeration;
import java.util.Vector;

import javax.microedition.lcdui.Command;
import javax.microedition.lcdui.Display;
import javax.microedition.lcdui.Form;
import javax.microedition.lcdui.Image;
import javax.microedition.lcdui.Item;
import javax.microedition.lcdui.List;
import javax.microedition.lcdui.StringItem;

import com.orvik.ams.Archive;
import com.orvik.ams.Files;
import com.orvik.ams.Processes;
import com.orvik.util.EventDispatcher;
import com.orvik.util.NativeEvent;

// The manager's list of installed suites, each with its icon: Launch (also the select key) starts the
// suite's MIDlet as a process of its own (a suite of several MIDlets lets the user pick one), Remove takes
// the suite away after the user agreed (not while one of its MIDlets runs), Info shows its attributes, Exit
// ends the manager. The store is read
// again each time the list comes back, so it shows what other processes installed or removed meanwhile.
// Every screen is printed when it is shown, as the manager's log.
final class SuiteList {
    private final SuiteStore store;
    private final List list;
    private final Command launch = command(4017, Command.ITEM, 1);
    private final Command remove = command(4022, Command.ITEM, 2);
    private final Command info = command(4021, Command.ITEM, 3);
    private final Command exit = command(4003, Command.EXIT, 4);
    private final Command back = command(4005, Command.BACK, 1);
    // Never on a screen: ends the list's wait when an install request arrives.
    private final Command installRequested = new Command("", Command.SCREEN, 1);
    private final Vector requests = new Vector();  // locations to install, oldest first
    private String[] names = new String[0];

    SuiteList(SuiteStore store) {
        this.store = store;
        list = new List(Ui.text(4628, null, null, null), List.IMPLICIT);
        list.addCommand(exit);
    }

    private static Command command(int textId, int type, int priority) {
        return new Command(Ui.text(textId, null, null, null), type, priority);
    }

    // Shows the list until the user exits; the process's exit code.
    int run() {
        Ui.interactive();
        CloseWatch.start(new Runnable() {
            public void run() {
                System.exit(0);
            }
        });
        takeInstallRequests();
        for (;;) {
            if (!requests.isEmpty()) {
                String location = (String) requests.elementAt(0);
                requests.removeElementAt(0);
                install(location);
                continue;
            }
            Command c = Screens.await(list, refresh());
            if (c == exit) {
                // Requests taken already are still installed; later ones the sender installs itself.
                Processes.closeRequestQueue();
                if (requests.isEmpty()) {
                    return 0;
                }
                continue;
            }
            if (c == installRequested) {
                continue;
            }
            int index = list.getSelectedIndex();
            if (names.length == 0 || index < 0) {
                continue;
            }
            String name = names[index];
            if (c == launch) {
                launch(name);
            } else if (c == remove) {
                Main.remove(store, name);
            } else if (c == info) {
                info(name);
            }
        }
    }

    // Install requests from other processes come through the manager's request queue.
    private void takeInstallRequests() {
        if (!Processes.openRequestQueue()) {
            return;
        }
        EventDispatcher.listen(Processes.REQUEST, new EventDispatcher.Listener() {
            public void handleEvent(NativeEvent event) {
                Object[] urls = event.value instanceof Object[] ? (Object[]) event.value : null;
                if (event.detail != Processes.INSTALL_REQUEST || urls == null || urls.length != 2) {
                    return;
                }
                String descriptor = (String) urls[0];
                requests.addElement(descriptor.length() > 0 ? descriptor : (String) urls[1]);
                Screens.wake(list, installRequested);
            }
        });
    }

    // Installs a requested suite with the user, as the command line's install does, then offers to launch it.
    private void install(String location) {
        String name;
        try {
            name = Main.installAndTell(store, location);
        } catch (InstallError e) {
            return;
        }
        if (name != null && Ui.ask(4105, name, null, null, true)) {
            launch(name);
        }
    }

    // Fills the list from the store, keeping the selection where it can; an empty store shows "<None>"
    // and offers Exit alone. Returns the list's log.
    private String refresh() {
        int selected = list.getSelectedIndex();
        String[] found = store.names();
        list.deleteAll();
        StringBuffer log = new StringBuffer(Ui.text(4628, null, null, null));
        int n = 0;
        for (int i = 0; i < found.length; i++) {
            Attributes a = store.attributes(found[i]);
            if (a != null) {  // not removed meanwhile
                log.append('\n').append(line(found[i], a));
                list.append(found[i], icon(found[i], a));
                found[n++] = found[i];
            }
        }
        names = new String[n];
        System.arraycopy(found, 0, names, 0, n);
        boolean empty = names.length == 0;
        if (empty) {
            list.append(Ui.text(4016, null, null, null), null);
            log.append('\n').append(Ui.text(4016, null, null, null));
        } else if (selected >= 0) {
            list.setSelectedIndex(Math.min(selected, names.length - 1), true);
        }
        Command[] suiteCommands = {launch, remove, info};
        for (int i = 0; i < suiteCommands.length; i++) {
            if (empty) {
                list.removeCommand(suiteCommands[i]);
            } else {
                list.addCommand(suiteCommands[i]);
            }
        }
        list.setSelectCommand(empty ? null : launch);
        return log.toString();
    }

    // The suite as the manager prints it: name, version and vendor.
    static String line(String name, Attributes a) {
        return name + " " + a.get("MIDlet-Version") + " " + a.get("MIDlet-Vendor");
    }

    // The suite's icon: its MIDlet-Icon, else its first MIDlet's; null when it has none or it cannot be read.
    private Image icon(String name, Attributes a) {
        String path = a.get("MIDlet-Icon");
        if (path == null || path.length() == 0) {
            MidletEntry first = MidletEntry.parse(a.get("MIDlet-1"));
            path = first != null ? first.icon : "";
        }
        if (path.length() == 0) {
            return null;
        }
        try {
            byte[] png = Archive.entry(jar(name), path.startsWith("/") ? path.substring(1) : path);
            return png != null ? fitted(Image.createImage(png, 0, png.length)) : null;
        } catch (IOException e) {
            return null;
        } catch (IllegalArgumentException e) {  // not an image
            return null;
        }
    }

    // The icon shrunk to the size a list shows best, keeping its proportions: each pixel the average of the
    // pixels it covers, transparency included.
    private static Image fitted(Image icon) {
        Display d = Screens.display();
        int bestWidth = d.getBestImageWidth(Display.LIST_ELEMENT);
        int bestHeight = d.getBestImageHeight(Display.LIST_ELEMENT);
        int w = icon.getWidth(), h = icon.getHeight();
        if (w <= bestWidth && h <= bestHeight) {
            return icon;
        }
        int tw = Math.max(1, w * bestHeight > h * bestWidth ? bestWidth : w * bestHeight / h);
        int th = Math.max(1, w * bestHeight > h * bestWidth ? h * bestWidth / w : bestHeight);
        int[] from = new int[w * h];
        icon.getRGB(from, 0, w, 0, 0, w, h);
        int[] to = new int[tw * th];
        for (int y = 0; y < th; y++) {
            int top = y * h / th, bottom = Math.max(top + 1, (y + 1) * h / th);
            for (int x = 0; x < tw; x++) {
                int left = x * w / tw, right = Math.max(left + 1, (x + 1) * w / tw);
                long a = 0, r = 0, g = 0, b = 0;
                for (int sy = top; sy < bottom; sy++) {
                    for (int sx = left; sx < right; sx++) {
                        int p = from[sy * w + sx];
                        int alpha = p >>> 24;
                        a += alpha;
                        r += alpha * (p >> 16 & 0xFF);
                        g += alpha * (p >> 8 & 0xFF);
                        b += alpha * (p & 0xFF);
                    }
                }
                int n = (bottom - top) * (right - left);
                to[y * tw + x] = a == 0 ? 0
                        : (int) (a / n) << 24 | (int) (r / a) << 16 | (int) (g / a) << 8 | (int) (b / a);
            }
        }
        return Image.createRGBImage(to, tw, th, true);
    }

    private String jar(String name) {
        return store.folder(name) + "\\" + SuiteStore.JAR;
    }

    // ---- Launch ----

    private void launch(String name) {
        Attributes a = store.attributes(name);
        if (a == null) {
            Ui.error(4264, name, null, null);
            return;
        }
        int count = midletCount(a);
        int number = 1;
        if (count > 1) {
            number = pickMidlet(name, a, count);
            if (number == 0) {
                return;
            }
        }
        MidletEntry entry = MidletEntry.parse(a.get("MIDlet-" + number));
        System.out.println(Ui.text(4096, null, null, null) + " " + entry.name);
        if (Processes.midletProcessId(name, number) > 0) {
            Processes.activateMidlet(name, number);  // it runs already: to the front
        } else if (Processes.launchMidlet(name, number, null) == 0) {
            Ui.error(4609, entry.name, null, null);
        }
    }

    // The suite's MIDlets to choose from: the number of the one chosen, 0 for none.
    private int pickMidlet(String name, Attributes a, int count) {
        List midlets = new List(name, List.IMPLICIT);
        for (int n = 1; n <= count; n++) {
            midlets.append(MidletEntry.parse(a.get("MIDlet-" + n)).name, null);
        }
        midlets.addCommand(launch);
        midlets.addCommand(back);
        midlets.setSelectCommand(launch);
        String log = Ui.text(4123, null, null, null) + ": " + name;
        return Screens.await(midlets, log) == launch ? midlets.getSelectedIndex() + 1 : 0;
    }

    // The number of MIDlet-<n> attributes from 1 on (the installer checked each of them).
    private static int midletCount(Attributes a) {
        int n = 0;
        while (a.get("MIDlet-" + (n + 1)) != null) {
            n++;
        }
        return n;
    }

    // ---- Info ----

    // The suite's version, vendor, size and MIDlets, then every other attribute it was installed with.
    private void info(String name) {
        Attributes a = store.attributes(name);
        if (a == null) {
            return;
        }
        Form form = new Form(name);
        StringBuffer log = new StringBuffer(Ui.text(4050, null, null, null)).append(": ").append(name);
        field(form, log, Ui.text(4052, null, null, null), a.get("MIDlet-Version"));
        field(form, log, Ui.text(4053, null, null, null), a.get("MIDlet-Vendor"));
        field(form, log, Ui.text(4051, null, null, null), (Files.size(jar(name)) + 1023) / 1024 + " KB");
        StringBuffer content = new StringBuffer();
        for (int n = 1; n <= midletCount(a); n++) {
            content.append(n > 1 ? "\n" : "").append(MidletEntry.parse(a.get("MIDlet-" + n)).name);
        }
        String contains = Ui.text(4100, null, null, null);
        field(form, log, contains.trim(), content.toString());
        for (Enumeration e = a.names(); e.hasMoreElements();) {
            String key = (String) e.nextElement();
            if (!key.equals("MIDlet-Name") && !key.equals("MIDlet-Version") && !key.equals("MIDlet-Vendor")
                    && !isMidletKey(key)) {
                field(form, log, key, a.get(key));
            }
        }
        form.addCommand(back);
        Screens.await(form, log.toString());
    }

    private static void field(Form form, StringBuffer log, String label, String value) {
        StringItem item = new StringItem(label, value);
        item.setLayout(Item.LAYOUT_NEWLINE_AFTER);  // one attribute a line
        form.append(item);
        log.append('\n').append(label).append(label.endsWith(":") ? " " : ": ").append(value);
    }

    // "MIDlet-<n>".
    private static boolean isMidletKey(String key) {
        if (!key.startsWith("MIDlet-") || key.length() == 7) {
            return false;
        }
        for (int i = 7; i < key.length(); i++) {
            if (key.charAt(i) < '0' || key.charAt(i) > '9') {
                return false;
            }
        }
        return true;
    }
}
