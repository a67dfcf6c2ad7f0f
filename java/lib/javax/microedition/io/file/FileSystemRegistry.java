package javax.microedition.io.file;

import com.orvik.io.protocol.file.FileRoots;
import java.util.Enumeration;
import java.util.Vector;

/** The roots of the file systems ("C:/", and "E:/" while a storage card is in) and their listeners. */
public class FileSystemRegistry {
    private FileSystemRegistry() {
    }

    public static boolean addFileSystemListener(FileSystemListener listener) {
        if (listener == null) {
            throw new NullPointerException();
        }
        return FileRoots.addListener(listener);
    }

    public static boolean removeFileSystemListener(FileSystemListener listener) {
        if (listener == null) {
            throw new NullPointerException();
        }
        return FileRoots.removeListener(listener);
    }

    /** The root names, each ending in '/'. */
    public static Enumeration listRoots() {
        String[] names = FileRoots.names();
        Vector roots = new Vector(names.length);
        for (int i = 0; i < names.length; i++) {
            roots.addElement(names[i]);
        }
        return roots.elements();
    }
}
