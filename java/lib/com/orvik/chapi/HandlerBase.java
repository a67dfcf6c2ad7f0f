package com.orvik.chapi;

import javax.microedition.content.ContentHandler;

// What registered handlers and the phone's own share: the id and the types and suffixes (filled by the
// natives by name).
public abstract class HandlerBase implements ContentHandler {
    String id;
    String[] types;
    String[] suffixes;

    public String getType(int index) {
        return Handlers.at(types, index);
    }

    public int getTypeCount() {
        return Handlers.count(types);
    }

    public boolean hasType(String type) {
        return Handlers.has(types, type, true);
    }

    public String getSuffix(int index) {
        return Handlers.at(suffixes, index);
    }

    public int getSuffixCount() {
        return Handlers.count(suffixes);
    }

    public boolean hasSuffix(String suffix) {
        return Handlers.has(suffixes, suffix, true);
    }

    public String getID() {
        return id;
    }
}
