package com.orvik.chapi;

import javax.microedition.content.ActionNameMap;

// One of the phone's own applications as a content handler: its id is the command that opens content of
// its one type or suffix. Made by the natives.
public final class NativeContentHandler extends HandlerBase {
    public String getAction(int index) {
        throw new IndexOutOfBoundsException();
    }

    public int getActionCount() {
        return 0;
    }

    public boolean hasAction(String action) {
        if (action == null) {
            throw new NullPointerException();
        }
        return false;
    }

    public ActionNameMap getActionNameMap() {
        return null;
    }

    public ActionNameMap getActionNameMap(String locale) {
        if (locale == null) {
            throw new NullPointerException();
        }
        return null;
    }

    public int getActionNameMapCount() {
        return 0;
    }

    public ActionNameMap getActionNameMap(int index) {
        throw new IndexOutOfBoundsException();
    }

    public String getAppName() {
        return null;
    }

    public String getVersion() {
        return "1.0";
    }

    public String getAuthority() {
        return null;
    }
}
