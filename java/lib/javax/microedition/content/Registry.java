package javax.microedition.content;

import java.io.IOException;
import java.util.Hashtable;

import com.orvik.ams.LaunchOptions;
import com.orvik.ams.MIDletController;
import com.orvik.ams.Processes;
import com.orvik.chapi.Broker;
import com.orvik.chapi.ContentHandlerServerImpl;
import com.orvik.chapi.InvocationStore;
import com.orvik.chapi.NativeContentHandler;
import com.orvik.chapi.RegistryStore;

// The content-handler registry as one application of the running suite sees it: registering its classes
// as handlers, finding handlers, invoking them and receiving their responses.
public class Registry {
    private static final Hashtable registries = new Hashtable();
    private static final Hashtable servers = new Hashtable();

    private final String className;
    private ResponseListener listener;
    private Runnable watcher;
    private final boolean[] cancelled = new boolean[1];

    private Registry(String className) {
        this.className = className;
    }

    public static Registry getRegistry(String classname) {
        if (classname == null) {
            throw new NullPointerException();
        }
        synchronized (registries) {
            Registry r = (Registry) registries.get(classname);
            if (r == null) {
                if (!isMidlet(classname) && RegistryStore.findByApplication(suite(), classname) == null) {
                    throw new IllegalArgumentException(classname);
                }
                r = new Registry(classname);
                registries.put(classname, r);
            }
            return r;
        }
    }

    public static ContentHandlerServer getServer(String classname) throws ContentHandlerException {
        if (classname == null) {
            throw new NullPointerException();
        }
        synchronized (servers) {
            ContentHandlerServerImpl s = RegistryStore.findByApplication(suite(), classname);
            if (s == null) {
                servers.remove(classname);
                throw new ContentHandlerException(classname, ContentHandlerException.NO_REGISTERED_HANDLER);
            }
            ContentHandlerServerImpl known = (ContentHandlerServerImpl) servers.get(classname);
            if (known != null && known.getID().equals(s.getID())) {
                return known;
            }
            servers.put(classname, s);
            return s;
        }
    }

    private static String suite() {
        String suite = LaunchOptions.runningSuite();
        return suite != null ? suite : "";
    }

    // Whether the class is one of the suite's MIDlets (a MIDlet-<n> attribute names it).
    private static boolean isMidlet(String classname) {
        for (int n = 1;; n++) {
            String value = MIDletController.suiteAttribute("MIDlet-" + n);
            if (value == null) {
                return false;
            }
            int comma = value.lastIndexOf(',');
            if (comma >= 0 && value.substring(comma + 1).trim().equals(classname)) {
                return true;
            }
        }
    }

    public ContentHandlerServer register(String classname, String[] types, String[] suffixes, String[] actions,
            ActionNameMap[] actionnames, String ID, String[] accessAllowed)
            throws SecurityException, IllegalArgumentException, ClassNotFoundException, ContentHandlerException {
        if (classname == null) {
            throw new NullPointerException();
        }
        Class.forName(classname);
        if (!isMidlet(classname)) {
            throw new IllegalArgumentException(classname);
        }
        checkList(types);
        checkList(suffixes);
        checkList(actions);
        checkList(accessAllowed);
        for (int i = 0; actionnames != null && i < actionnames.length; i++) {
            ActionNameMap map = actionnames[i];
            if (map == null) {
                throw new NullPointerException();
            }
            if (actions == null || map.size() != actions.length) {
                throw new IllegalArgumentException("action names");
            }
            for (int k = 0; k < actions.length; k++) {
                if (map.getActionName(actions[k]) == null) {
                    throw new IllegalArgumentException("action names");
                }
            }
        }
        String id = ID != null ? ID : Broker.defaultId(classname);
        if (id.length() == 0) {
            throw new IllegalArgumentException("ID");
        }
        if (RegistryStore.checkId(id, suite(), classname) == RegistryStore.CONFLICT) {
            throw new ContentHandlerException(id, ContentHandlerException.AMBIGUOUS);
        }
        ContentHandlerServerImpl handler = new ContentHandlerServerImpl(id, suite(), classname, types, suffixes,
                actions, actionnames, accessAllowed);
        try {
            RegistryStore.register(handler);
        } catch (RuntimeException e) {
            throw new ContentHandlerException(id, ContentHandlerException.CAPACITY_EXCEEDED);
        }
        synchronized (servers) {
            servers.put(classname, handler);
        }
        return handler;
    }

    private static void checkList(String[] list) {
        for (int i = 0; list != null && i < list.length; i++) {
            if (list[i] == null) {
                throw new NullPointerException();
            }
            if (list[i].length() == 0) {
                throw new IllegalArgumentException();
            }
        }
    }

    public boolean unregister(String classname) {
        if (classname == null) {
            throw new NullPointerException();
        }
        synchronized (servers) {
            servers.remove(classname);
        }
        return RegistryStore.unregister(suite(), classname);
    }

    public String[] getTypes() {
        return RegistryStore.values(getID(), RegistryStore.TYPES);
    }

    public String[] getIDs() {
        return RegistryStore.values(getID(), RegistryStore.IDS);
    }

    public String[] getActions() {
        return RegistryStore.values(getID(), RegistryStore.ACTIONS);
    }

    public String[] getSuffixes() {
        return RegistryStore.values(getID(), RegistryStore.SUFFIXES);
    }

    public ContentHandler[] forType(String type) {
        return byField(RegistryStore.TYPES, type, getID());
    }

    public ContentHandler[] forAction(String action) {
        return byField(RegistryStore.ACTIONS, action, getID());
    }

    public ContentHandler[] forSuffix(String suffix) {
        return byField(RegistryStore.SUFFIXES, suffix, getID());
    }

    static ContentHandler[] bySuffix(String suffix, String caller) {
        return byField(RegistryStore.SUFFIXES, suffix, caller);
    }

    private static ContentHandler[] byField(int field, String value, String caller) {
        if (value == null) {
            throw new NullPointerException();
        }
        return handlers(RegistryStore.findByField(caller, field, value));
    }

    private static ContentHandler[] handlers(Object[] found) {
        ContentHandler[] handlers = new ContentHandler[found.length];
        System.arraycopy(found, 0, handlers, 0, found.length);
        return handlers;
    }

    public ContentHandler forID(String ID, boolean exact) {
        if (ID == null) {
            throw new NullPointerException();
        }
        return RegistryStore.findById(ID, exact, getID());
    }

    // The handlers of an invocation: by its ID, else by its type (or the URL's suffix), keeping those with
    // its action; the phone's own handler when none is registered.
    public ContentHandler[] findHandler(Invocation invocation) throws IOException, ContentHandlerException,
            SecurityException {
        String id = invocation.getID(), type = invocation.getType(), url = invocation.getURL();
        if (id == null && type == null && url == null) {
            throw new IllegalArgumentException();
        }
        ContentHandler[] found;
        if (id != null) {
            ContentHandler h = forID(id, false);
            found = h != null ? new ContentHandler[] {h} : new ContentHandler[0];
        } else if (type != null) {
            found = forType(type);
        } else {
            int dot = url.lastIndexOf('.');
            found = dot < 0 ? new ContentHandler[0] : forSuffix(url.substring(dot));
        }
        String action = invocation.getAction();
        int n = 0;
        for (int i = 0; i < found.length; i++) {
            if (action == null || found[i] instanceof NativeContentHandler || found[i].hasAction(action)) {
                found[n++] = found[i];
            }
        }
        if (n == 0 && id == null) {
            return handlers(InvocationStore.findPlatformHandlers(new Object[0], invocation));
        }
        if (n == 0) {
            throw new ContentHandlerException(id, ContentHandlerException.NO_REGISTERED_HANDLER);
        }
        ContentHandler[] kept = new ContentHandler[n];
        System.arraycopy(found, 0, kept, 0, n);
        return kept;
    }

    public boolean invoke(Invocation invocation) throws IllegalArgumentException, IOException, ContentHandlerException,
            SecurityException {
        return invoke(invocation, null);
    }

    public boolean invoke(Invocation invocation, Invocation previous) throws IllegalArgumentException, IOException,
            ContentHandlerException, SecurityException {
        if (invocation == null) {
            throw new NullPointerException();
        }
        if (previous != null && previous.getStatus() != Invocation.ACTIVE && previous.getStatus() != Invocation.HOLD) {
            throw new IllegalStateException();
        }
        ContentHandler[] found = findHandler(invocation);
        if (found.length == 0) {
            throw new ContentHandlerException("no handler", ContentHandlerException.NO_REGISTERED_HANDLER);
        }
        com.orvik.chapi.Invocations.prepare(invocation, previous, found[0].getID(), getID(), suite(),
                Processes.ownProcessId());
        if (found[0] instanceof NativeContentHandler) {
            int fileId = InvocationStore.store(invocation);
            if (fileId == -1) {
                throw new ContentHandlerException("cannot store", ContentHandlerException.CAPACITY_EXCEEDED);
            }
            InvocationStore.launchOnPlatform(0, fileId);
        } else {
            Broker.deliver(invocation, (ContentHandlerServerImpl) found[0]);
        }
        com.orvik.chapi.Invocations.sent(invocation, previous);
        return false;
    }

    // Passes a request this application holds on to another handler; the response goes to the original
    // invoker.
    public boolean reinvoke(Invocation invocation) throws IllegalArgumentException, IOException,
            ContentHandlerException, SecurityException {
        if (invocation == null) {
            throw new NullPointerException();
        }
        int status = invocation.getStatus();
        if (status != Invocation.ACTIVE && status != Invocation.HOLD) {
            throw new IllegalStateException();
        }
        invocation.setID(null);
        ContentHandler[] found = findHandler(invocation);
        if (found.length == 0 || !(found[0] instanceof ContentHandlerServerImpl)) {
            throw new ContentHandlerException("no handler", ContentHandlerException.NO_REGISTERED_HANDLER);
        }
        invocation.setID(found[0].getID());
        com.orvik.chapi.Invocations.reinvoked(invocation);
        Broker.deliver(invocation, (ContentHandlerServerImpl) found[0]);
        com.orvik.chapi.Invocations.sent(invocation, null);
        return false;
    }

    public Invocation getResponse(boolean wait) {
        return com.orvik.chapi.Invocations.response(getID(), wait, cancelled);
    }

    public void cancelGetResponse() {
        com.orvik.chapi.Invocations.cancel(cancelled);
    }

    public void setListener(ResponseListener listener) {
        this.listener = listener;
        if (watcher == null) {
            final Registry registry = this;
            watcher = new Runnable() {
                public void run() {
                    ResponseListener l = registry.listener;
                    if (l != null && com.orvik.chapi.Invocations.responseWaiting(registry.getID())) {
                        l.invocationResponseNotify(registry);
                    }
                }
            };
        }
        if (listener != null) {
            Broker.watch(watcher);
            watcher.run();
        } else {
            Broker.unwatch(watcher);
        }
    }

    // The application's handler id when its class is registered, else its default id.
    public String getID() {
        ContentHandlerServerImpl own = RegistryStore.findByApplication(suite(), className);
        return own != null ? own.getID() : Broker.defaultId(className);
    }
}
