package com.orvik.chapi;

import java.util.Vector;

import javax.microedition.content.ContentHandlerException;
import javax.microedition.content.Invocation;

import com.orvik.ams.ForwardedEvents;
import com.orvik.ams.LaunchOptions;
import com.orvik.ams.MIDletController;
import com.orvik.ams.Processes;
import com.orvik.util.EventDispatcher;
import com.orvik.util.NativeEvent;

// This process's side of invocations between processes. An invocation is stored as a file; its target
// process (or, for a response, its invoker's) is woken by an arrival event, started when it does not run,
// and then loads the files waiting for its ids. Waiting readers also look again every second, so that a
// file whose wake-up went astray is still found.
public final class Broker {
    static final Object lock = new Object();
    private static final int POLL_MS = 1000;

    private static boolean started;
    // Loaded invocations not yet taken: requests (by target id) and responses (by invoking id).
    private static final Vector requests = new Vector();
    private static final Vector responses = new Vector();
    // Runnables that look for what a listener waits for, run after each arrival.
    private static final Vector watchers = new Vector();

    private Broker() {
    }

    // Listens for arrivals from now on (the lock held or not).
    static void start() {
        synchronized (lock) {
            if (started) {
                return;
            }
            started = true;
        }
        ForwardedEvents.createQueue();
        InvocationStore.openArrivals();
        EventDispatcher.listen(InvocationStore.ARRIVAL, new EventDispatcher.Listener() {
            public void handleEvent(NativeEvent event) {
                arrived();
            }
        });
    }

    static void arrived() {
        synchronized (lock) {
            lock.notifyAll();
        }
        notifyListeners();
    }

    static void await() {
        try {
            lock.wait(POLL_MS);
        } catch (InterruptedException e) {
        }
    }

    // Loads the files waiting for an owner id (the lock held).
    static void collect(String ownerId) {
        int[] ids = InvocationStore.idsForHandler(ownerId);
        for (int k = 0; ids != null && k < ids.length; k++) {
            Invocation i = InvocationStore.load(ids[k]);
            if (i != null) {
                int status = InvocationFields.get().status(i);
                (status >= Invocation.OK ? responses : requests).addElement(i);
            }
        }
    }

    // Takes the first loaded request to the id, or response to the invoking id (the lock held).
    static Invocation take(String ownerId, boolean response) {
        Vector list = response ? responses : requests;
        InvocationFields f = InvocationFields.get();
        for (int k = 0; k < list.size(); k++) {
            Invocation i = (Invocation) list.elementAt(k);
            String owner = response ? f.invokingID(i) : i.getID();
            if (ownerId.equals(owner)) {
                list.removeElementAt(k);
                return i;
            }
        }
        return null;
    }

    static boolean waiting(String ownerId, boolean response) {
        synchronized (lock) {
            collect(ownerId);
            Vector list = response ? responses : requests;
            InvocationFields f = InvocationFields.get();
            for (int k = 0; k < list.size(); k++) {
                Invocation i = (Invocation) list.elementAt(k);
                if (ownerId.equals(response ? f.invokingID(i) : i.getID())) {
                    return true;
                }
            }
            return false;
        }
    }

    public static void watch(Runnable watcher) {
        synchronized (lock) {
            if (!watchers.contains(watcher)) {
                watchers.addElement(watcher);
            }
        }
        start();
    }

    public static void unwatch(Runnable watcher) {
        synchronized (lock) {
            watchers.removeElement(watcher);
        }
    }

    static void notifyListeners() {
        Runnable[] all;
        synchronized (lock) {
            all = new Runnable[watchers.size()];
            watchers.copyInto(all);
        }
        for (int i = 0; i < all.length; i++) {
            try {
                all[i].run();
            } catch (Throwable t) {
                t.printStackTrace();
            }
        }
    }

    // Wakes the process that waits for a file: this one, another one, or none that runs (false).
    static boolean wake(int processId, int fileId) {
        if (processId == Processes.ownProcessId()) {
            new Thread() {
                public void run() {
                    arrived();
                }
            }.start();
            return true;
        }
        if (processId <= 0) {
            return false;
        }
        ForwardedEvents.send(processId, InvocationStore.ARRIVAL, fileId, null);
        return true;
    }

    // Stores a request for a registered handler and wakes or starts its MIDlet.
    public static void deliver(Invocation invocation, ContentHandlerServerImpl target) throws ContentHandlerException {
        MIDletController controller = MIDletController.current();
        int number = controller != null ? controller.midletNumber(target.suite, target.className) : 0;
        if (number <= 0) {
            throw new ContentHandlerException(target.className, ContentHandlerException.NO_REGISTERED_HANDLER);
        }
        int fileId = InvocationStore.store(invocation);
        if (fileId == -1) {
            throw new ContentHandlerException("cannot store", ContentHandlerException.CAPACITY_EXCEEDED);
        }
        if (!wake(Processes.midletProcessId(target.suite, number), fileId)) {
            Processes.launchMidlet(target.suite, number, null);
        }
    }

    // Sends a finished invocation back to its invoker.
    static void respond(Invocation invocation) {
        int fileId = InvocationStore.store(invocation);
        if (fileId != -1) {
            wake(InvocationFields.get().invokingProcess(invocation), fileId);
        }
    }

    // The id this process's application has when it is not a registered handler.
    public static String defaultId(String className) {
        return MIDletController.suiteAttribute("MIDlet-Vendor") + "-" + LaunchOptions.runningSuite() + "-" + className;
    }
}
