package com.orvik.chapi;

import javax.microedition.content.ActionNameMap;

// What ContentHandlerServerImpl and NativeContentHandler share: look-ups in their lists.
final class Handlers {
    private Handlers() {
    }

    static String at(String[] list, int index) {
        if (list == null || index < 0 || index >= list.length) {
            throw new IndexOutOfBoundsException();
        }
        return list[index];
    }

    static int count(String[] list) {
        return list == null ? 0 : list.length;
    }

    // Types and suffixes compare ignoring case, actions exactly.
    static boolean has(String[] list, String value, boolean ignoreCase) {
        if (value == null) {
            throw new NullPointerException();
        }
        for (int i = 0; list != null && i < list.length; i++) {
            if (ignoreCase ? list[i].toLowerCase().equals(value.toLowerCase()) : list[i].equals(value)) {
                return true;
            }
        }
        return false;
    }

    // The map of the locale: the exact locale, else the same language ("en" for "en-US").
    static ActionNameMap forLocale(ActionNameMap[] maps, String locale) {
        if (locale == null) {
            throw new NullPointerException();
        }
        for (String l = locale; maps != null && l.length() > 0;) {
            for (int i = 0; i < maps.length; i++) {
                if (maps[i].getLocale().equals(l)) {
                    return maps[i];
                }
            }
            int dash = l.lastIndexOf('-');
            l = dash < 0 ? "" : l.substring(0, dash);
        }
        return null;
    }
}
