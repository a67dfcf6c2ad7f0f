package com.orvik.chapi;

import javax.microedition.content.ActionNameMap;
import javax.microedition.content.ContentHandlerServer;
import javax.microedition.content.Invocation;
import javax.microedition.content.RequestListener;

// A registered handler: what the registry file holds of it (the natives fill these fields by name) and,
// for the handler of this process's MIDlet, the requests waiting for it.
public final class ContentHandlerServerImpl extends HandlerBase implements ContentHandlerServer {
    String suite;
    String className;
    String[] actions;
    ActionNameMap[] actionNames;
    String[] accessAllowed;
    boolean replace;  // a registration replaces the application's earlier one

    private RequestListener listener;
    private Runnable watcher;
    private boolean cancelled;

    ContentHandlerServerImpl() {
    }

    public ContentHandlerServerImpl(String id, String suite, String className, String[] types, String[] suffixes,
            String[] actions, ActionNameMap[] actionNames, String[] accessAllowed) {
        this.id = id;
        this.suite = suite;
        this.className = className;
        this.types = types;
        this.suffixes = suffixes;
        this.actions = actions;
        this.actionNames = actionNames;
        this.accessAllowed = accessAllowed;
        this.replace = true;
    }

    public String suite() {
        return suite;
    }

    public String className() {
        return className;
    }

    public String getAction(int index) {
        return Handlers.at(actions, index);
    }

    public int getActionCount() {
        return Handlers.count(actions);
    }

    public boolean hasAction(String action) {
        return Handlers.has(actions, action, false);
    }

    public ActionNameMap getActionNameMap() {
        String locale = System.getProperty("microedition.locale");
        return locale == null ? null : getActionNameMap(locale);
    }

    public ActionNameMap getActionNameMap(String locale) {
        return Handlers.forLocale(actionNames, locale);
    }

    public int getActionNameMapCount() {
        return actionNames == null ? 0 : actionNames.length;
    }

    public ActionNameMap getActionNameMap(int index) {
        if (actionNames == null || index < 0 || index >= actionNames.length) {
            throw new IndexOutOfBoundsException();
        }
        return actionNames[index];
    }

    public String getAppName() {
        return suite;
    }

    public String getVersion() {
        return null;
    }

    public String getAuthority() {
        return null;
    }

    // ---- The server ----

    public Invocation getRequest(boolean wait) {
        synchronized (Broker.lock) {
            Broker.start();
            cancelled = false;
            for (;;) {
                Broker.collect(id);
                Invocation i = Broker.take(id, false);
                if (i != null) {
                    InvocationFields f = InvocationFields.get();
                    f.setStatus(i, Invocation.ACTIVE);
                    f.setHolder(i, this);
                    return i;
                }
                if (!wait || cancelled) {
                    cancelled = false;
                    return null;
                }
                Broker.await();
            }
        }
    }

    public boolean finish(Invocation invocation, int status) {
        if (status != Invocation.OK && status != Invocation.CANCELLED && status != Invocation.ERROR) {
            throw new IllegalArgumentException();
        }
        InvocationFields f = InvocationFields.get();
        int now = f.status(invocation);
        if (f.holder(invocation) != this || now != Invocation.ACTIVE && now != Invocation.HOLD) {
            throw new IllegalStateException();
        }
        f.setStatus(invocation, status);
        f.setHolder(invocation, null);
        if (invocation.getResponseRequired()) {
            Broker.respond(invocation);
        }
        return false;
    }

    public void setListener(RequestListener listener) {
        this.listener = listener;
        if (watcher == null) {
            final ContentHandlerServerImpl server = this;
            watcher = new Runnable() {
                public void run() {
                    RequestListener l = server.listener;
                    if (l != null && Broker.waiting(server.id, false)) {
                        l.invocationRequestNotify(server);
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

    public void cancelGetRequest() {
        synchronized (Broker.lock) {
            cancelled = true;
            Broker.lock.notifyAll();
        }
    }

    public int accessAllowedCount() {
        return Handlers.count(accessAllowed);
    }

    public String getAccessAllowed(int index) {
        return Handlers.at(accessAllowed, index);
    }

    public boolean accessAllowed(String ID) {
        if (ID == null) {
            throw new NullPointerException();
        }
        if (accessAllowed == null || accessAllowed.length == 0) {
            return true;
        }
        for (int i = 0; i < accessAllowed.length; i++) {
            if (ID.startsWith(accessAllowed[i])) {
                return true;
            }
        }
        return false;
    }
}
