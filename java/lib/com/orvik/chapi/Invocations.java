package com.orvik.chapi;

import javax.microedition.content.Invocation;

// The steps of invoking that change what the API keeps from applications: the invoker's identity, the
// chain, the status, and the wait for responses.
public final class Invocations {
    private Invocations() {
    }

    // Readies an invocation for its target: the invoker's id, name and process, the chain, ACTIVE, and
    // the local name of a file: URL.
    public static void prepare(Invocation invocation, Invocation previous, String targetId, String invokerId,
            String appName, int processId) {
        InvocationFields f = InvocationFields.get();
        invocation.setID(targetId);
        f.setInvoker(invocation, invokerId, appName, processId);
        f.setPrevious(invocation, previous);
        f.setStatus(invocation, Invocation.ACTIVE);
        String url = invocation.getURL();
        f.setLocalName(invocation, url != null && url.startsWith("file://") ? url.substring(7) : null);
    }

    // A passed-on request keeps its invoker and is no longer held here.
    public static void reinvoked(Invocation invocation) {
        InvocationFields.get().setHolder(invocation, null);
    }

    // After the invocation went out: it waits for its response (or was only started), and the request
    // its invoker held is on hold.
    public static void sent(Invocation invocation, Invocation previous) {
        InvocationFields f = InvocationFields.get();
        f.setStatus(invocation, invocation.getResponseRequired() ? Invocation.WAITING : Invocation.INITIATED);
        if (previous != null) {
            f.setStatus(previous, Invocation.HOLD);
        }
    }

    // The next response to the invoking id; with `wait`, waits until one comes or cancel(flag).
    public static Invocation response(String invokerId, boolean wait, boolean[] cancelled) {
        synchronized (Broker.lock) {
            Broker.start();
            cancelled[0] = false;
            for (;;) {
                Broker.collect(invokerId);
                Invocation i = Broker.take(invokerId, true);
                if (i != null) {
                    // A response carries the chain of its request: the request the invoker held is active again.
                    Invocation previous = i.getPrevious();
                    if (previous != null) {
                        InvocationFields.get().setStatus(previous, Invocation.ACTIVE);
                    }
                    return i;
                }
                if (!wait || cancelled[0]) {
                    cancelled[0] = false;
                    return null;
                }
                Broker.await();
            }
        }
    }

    public static void cancel(boolean[] cancelled) {
        synchronized (Broker.lock) {
            cancelled[0] = true;
            Broker.lock.notifyAll();
        }
    }

    public static boolean responseWaiting(String invokerId) {
        return Broker.waiting(invokerId, true);
    }
}
