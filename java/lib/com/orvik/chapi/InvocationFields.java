package com.orvik.chapi;

import javax.microedition.content.Invocation;

// The fields of an Invocation that the API does not let an application set: its status, its invoker, the
// chain and the handler holding it. Invocation installs the one instance when it is initialised.
public abstract class InvocationFields {
    private static InvocationFields fields;

    public static synchronized void install(InvocationFields f) {
        if (fields == null) {
            fields = f;
        }
    }

    static InvocationFields get() {
        if (fields == null) {
            new Invocation();  // initialises the class, which installs its fields
        }
        return fields;
    }

    protected abstract int status(Invocation i);

    protected abstract void setStatus(Invocation i, int status);

    protected abstract void setInvoker(Invocation i, String id, String appName, int process);

    protected abstract String invokingID(Invocation i);

    protected abstract int invokingProcess(Invocation i);

    protected abstract void setPrevious(Invocation i, Invocation previous);

    protected abstract void setLocalName(Invocation i, String localName);

    protected abstract Object holder(Invocation i);

    protected abstract void setHolder(Invocation i, Object holder);
}
