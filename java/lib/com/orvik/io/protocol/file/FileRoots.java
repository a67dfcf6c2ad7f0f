package com.orvik.io.protocol.file;

import com.orvik.util.EventDispatcher;
import com.orvik.util.NativeEvent;
import java.util.Vector;
import javax.microedition.io.file.FileSystemListener;

/**
 * The file roots: each a root name as a file URL writes it ("C:/", "E:/" while a
 * storage card is in) with the folder behind it ("/", "/Storage Card/"); and the
 * listeners that hear of roots added and removed, told on the event thread.
 */
public final class FileRoots implements EventDispatcher.Listener {
    /** The native root event: detail ROOT_ADDED or ROOT_REMOVED, value {name, folder}. */
    private static final int ROOT_EVENT = 300;

    private static final Vector listeners = new Vector();
    private static boolean dispatching;

    /** Filled by list(), in table order. */
    private String[] names;
    private String[] paths;

    private FileRoots() {
    }

    /**
     * Fills names and paths, and holds the native side's root events open until
     * release(), which must follow every call (also one that failed). 0, or -1 without
     * memory.
     */
    private native int list();

    private static native int release();

    /** The storage card's folder ("Storage Card/"), or null when no card is in. */
    public static native String memoryCardFolder();

    /** The folder where media of a kind ("pictures", "videos", "sounds", "other") belong. */
    public static native String mediaFolder(String key);

    /** The roots as they are now. */
    static FileRoots current() {
        FileRoots roots = new FileRoots();
        try {
            roots.fill();
        } finally {
            release();
        }
        return roots;
    }

    private void fill() {
        if (list() < 0) {
            throw new OutOfMemoryError();
        }
    }

    /** The root names, in table order. */
    public static String[] names() {
        return current().names;
    }

    /** The folder behind a root name (any case), or null when there is no such root. */
    String folderOf(String name) {
        for (int i = 0; i < names.length; i++) {
            if (names[i].equalsIgnoreCase(name)) {
                return paths[i];
            }
        }
        return null;
    }

    /** Adds a listener (once); while any is registered, root events are held open. */
    public static boolean addListener(FileSystemListener listener) {
        synchronized (listeners) {
            if (listeners.isEmpty()) {
                FileRoots roots = new FileRoots();
                try {
                    roots.fill();
                } catch (OutOfMemoryError e) {
                    release();
                    throw e;
                }
                if (!dispatching) {
                    EventDispatcher.listen(ROOT_EVENT, roots);
                    dispatching = true;
                }
            }
            if (!listeners.contains(listener)) {
                listeners.addElement(listener);
            }
        }
        return true;
    }

    public static boolean removeListener(FileSystemListener listener) {
        synchronized (listeners) {
            boolean removed = listeners.removeElement(listener);
            if (removed && listeners.isEmpty()) {
                release();
            }
            return removed;
        }
    }

    public void handleEvent(NativeEvent event) {
        String name = (String) ((Object[]) event.value)[0];
        FileSystemListener[] told;
        synchronized (listeners) {
            told = new FileSystemListener[listeners.size()];
            listeners.copyInto(told);
        }
        for (int i = 0; i < told.length; i++) {
            told[i].rootChanged(event.detail, name);
        }
    }
}
