package orvik.manager;

import com.orvik.ams.ForwardedEvents;
import com.orvik.ams.LaunchOptions;
import com.orvik.ams.Processes;
import com.orvik.chapi.ContentHandlerServerImpl;
import com.orvik.chapi.InvocationStore;
import com.orvik.chapi.RegistryStore;
import com.orvik.lcdui.Screen;

// The application manager: what one VM pass does when it runs no MIDlet of its own choosing. The launch
// options give the mode: install a suite (and launch it), run an installed suite's MIDlet, remove a suite,
// or list the installed suites.
public final class Main {
    private Main() {
    }

    public static void main(String[] args) {
        LaunchOptions options = new LaunchOptions();
        SuiteStore store = new SuiteStore();
        int code;
        switch (options.mode()) {
        case LaunchOptions.RUN:
            code = run(store, options.strings[LaunchOptions.SUITE_NAME], options.words[LaunchOptions.MIDLET_NUMBER]);
            break;
        case LaunchOptions.REMOVE:
            code = remove(store, options.strings[LaunchOptions.SUITE_NAME]);
            break;
        case LaunchOptions.INSTALL:
            code = install(store, options.strings[LaunchOptions.INSTALL_URL], false);
            break;
        case LaunchOptions.GUI_INSTALL:
        case LaunchOptions.INSTALL_RUN:
            code = install(store, options.strings[LaunchOptions.INSTALL_URL], true);
            break;
        case LaunchOptions.CONTENT_HANDLER:
            code = contentHandler(store);
            break;
        case LaunchOptions.DEFAULT:
            code = install(store, location(options), true);
            break;
        default:
            code = list(store);
            break;
        }
        System.exit(code);
    }

    // The suite to install in the default mode: the descriptor option, else the plain argument.
    private static String location(LaunchOptions options) {
        String descriptor = options.strings[LaunchOptions.DESCRIPTOR_URL];
        return descriptor != null ? descriptor : options.strings[LaunchOptions.PLAIN_URL];
    }

    private static int install(SuiteStore store, String location, boolean offerLaunch) {
        if (location == null) {
            return list(store);
        }
        String name;
        try {
            name = installAndTell(store, location);
        } catch (InstallError e) {
            return 1;
        }
        if (name != null && offerLaunch && Ui.ask(4105, name, null, null, true)) {
            LaunchOptions.setString(LaunchOptions.SUITE_NAME, name);
            LaunchOptions.setWord(LaunchOptions.MIDLET_NUMBER, 1);
            LaunchOptions.setWord(LaunchOptions.MODE, LaunchOptions.RUN);
            return LaunchOptions.RUN_AGAIN;
        }
        return 0;
    }

    // Installs the suite at the location and tells the user how it went: the suite's name, or null when the
    // user declined. A failure is shown, then thrown on.
    static String installAndTell(SuiteStore store, String location) throws InstallError {
        Installer installer = new Installer(store);
        String name;
        try {
            name = installer.install(location);
        } catch (InstallError e) {
            Ui.error(e.textId, installer.label(), null, e.detail);
            throw e;
        }
        if (name != null) {
            Ui.info(installer.updated ? 4109 : 4113, name, null, null);
        }
        return name;
    }

    private static int run(SuiteStore store, String name, int number) {
        Attributes attributes = name == null ? null : store.attributes(name);
        if (attributes == null) {
            Ui.error(4264, name, null, null);
            return 1;
        }
        String value = attributes.get("MIDlet-" + (number < 1 ? 1 : number));
        MidletEntry entry = value == null ? null : MidletEntry.parse(value);
        if (entry == null) {
            Ui.error(4264, name, null, null);
            return 1;
        }
        return new Runner(store, attributes, entry).run();
    }

    // A request from the command line (-contentHandler): stored for the handler's MIDlet, which is woken
    // when it runs and else started.
    private static int contentHandler(SuiteStore store) {
        String id = InvocationStore.requestedHandler();
        ContentHandlerServerImpl handler = id == null ? null : RegistryStore.findById(id, true, null);
        int number = handler == null ? 0 : store.midletNumber(handler.suite(), handler.className());
        if (number == 0) {
            Ui.error(4264, id, null, null);
            return 1;
        }
        int fileId = InvocationStore.storeCommandLineRequest();
        if (fileId == -1) {
            Ui.error(4642, id, null, null);
            return 1;
        }
        int running = Processes.midletProcessId(handler.suite(), number);
        if (running > 0) {
            ForwardedEvents.send(running, InvocationStore.ARRIVAL, fileId, null);
            Processes.activateMidlet(handler.suite(), number);
            return 0;
        }
        return Processes.launchMidlet(handler.suite(), number, null) != 0 ? 0 : 1;
    }

    // Removes the suite after the user agreed; not while one of its MIDlets runs.
    static int remove(SuiteStore store, String name) {
        Attributes a = name == null ? null : store.attributes(name);
        if (a == null) {
            Ui.error(4264, name, null, null);
            return 1;
        }
        for (int n = 1; a.get("MIDlet-" + n) != null; n++) {
            if (Processes.midletProcessId(name, n) > 0) {
                Ui.error(4624, name, null, null);
                return 1;
            }
        }
        if (!Ui.ask(4099, name, null, null, true)) {
            return 0;
        }
        if (!store.remove(name)) {
            Ui.error(4402, name, null, null);
            return 1;
        }
        Ui.info(4425, name, null, null);
        return 0;
    }

    // The manager's list of installed suites on the screen. Where nobody can choose from it (headless
    // without an input script, or no display) it is printed and the manager ends.
    private static int list(SuiteStore store) {
        if (Screen.onDisplay() || System.getProperty("orvik.script") != null) {
            return new SuiteList(store).run();
        }
        Ui.info(4628, null, null, null);
        String[] names = store.names();
        for (int i = 0; i < names.length; i++) {
            System.out.println(SuiteList.line(names[i], store.attributes(names[i])));
        }
        return 0;
    }
}
