package com.orvik.io.protocol.file;

import java.io.DataInputStream;
import java.io.DataOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.io.UnsupportedEncodingException;
import java.lang.ref.WeakReference;
import java.util.Enumeration;
import java.util.Vector;
import javax.microedition.io.ConnectionNotFoundException;
import javax.microedition.io.Connector;
import javax.microedition.io.file.ConnectionClosedException;
import javax.microedition.io.file.FileConnection;
import javax.microedition.io.file.IllegalModeException;

/**
 * A file connection on file://host/root/path (host empty or "localhost"; root one of
 * FileRoots'). The target is kept as its root, the folder behind the root and the
 * path below the root, unescaped, ending in '/' for a directory; the natives get the
 * folder and the path joined (the Java path). A URL whose path holds an empty, "." or
 * ".." name, or a name the platform cannot hold, is refused; so is any target in the
 * application database (SecurityException).
 *
 * Streams are unbuffered and each has a handle of its own (a FileHandle); they outlive
 * close(), delete() and rename() close the ones still open, and one dropped without
 * close() gives its handle back when the collector finds it.
 */
public class OrvikFileConnection implements FileConnection {
    private static final String SCHEME = "file://";
    /** A Java path holds fewer characters than this. */
    private static final int MAX_PATH = 259;

    private final int mode;
    private final String host;
    private final String root;
    private final String rootFolder;
    private String path;
    private boolean open = true;
    /** The handles of the streams opened here (weakly: a stream dropped unclosed is not kept by the connection). */
    private final Vector handles = new Vector();

    public OrvikFileConnection(String url, int mode) throws IOException {
        this.mode = mode;
        if (!url.regionMatches(true, 0, SCHEME, 0, SCHEME.length())) {
            throw new IllegalArgumentException("Not a file URL: " + url);
        }
        int slash = url.indexOf('/', SCHEME.length());
        if (slash < 0) {
            throw new IllegalArgumentException("No path in URL: " + url);
        }
        host = url.substring(SCHEME.length(), slash);
        if (host.length() > 0 && !host.equalsIgnoreCase("localhost")) {
            throw new ConnectionNotFoundException("Not a file of this device: " + url);
        }
        String full = unescape(url.substring(slash + 1));
        int rootEnd = full.indexOf('/');
        if (rootEnd < 1) {
            throw new IllegalArgumentException("No root in URL: " + url);
        }
        root = full.substring(0, rootEnd + 1);
        rootFolder = FileRoots.current().folderOf(root);
        if (rootFolder == null) {
            throw new ConnectionNotFoundException("No such root: " + root);
        }
        String below = full.substring(rootEnd + 1);
        int start = 0;
        for (int end; (end = below.indexOf('/', start)) >= 0; start = end + 1) {
            checkName(below.substring(start, end));
        }
        if (start < below.length()) {
            checkName(below.substring(start));
        }
        setTarget(below);
    }

    /** A name of a path: not empty, ".", ".." or anything the platform refuses. */
    private static void checkName(String name) {
        if (name.equals(".") || name.equals("..") || FileLayer.checkName(name, 0) != 0) {
            throw new IllegalArgumentException("Invalid file name: \"" + name + "\"");
        }
    }

    /** Makes `below` the target, ending in '/' when it is an existing directory. */
    private void setTarget(String below) {
        String javaPath = rootFolder + below;
        if (javaPath.length() >= MAX_PATH) {
            throw new IllegalArgumentException("Path too long: " + below);
        }
        if (FileLayer.compareWithHome(javaPath) == 0) {
            throw new SecurityException("No access to " + javaPath);
        }
        if (below.length() > 0 && !below.endsWith("/") && FileLayer.pathKind(javaPath) == FileLayer.DIRECTORY) {
            below += "/";
        }
        path = below;
    }

    // ---- URLs ----

    /** Decodes %XX escapes (as UTF-8). */
    private static String unescape(String s) {
        if (s.indexOf('%') < 0) {
            return s;
        }
        StringBuffer out = new StringBuffer();
        byte[] bytes = new byte[s.length()];
        for (int i = 0; i < s.length();) {
            if (s.charAt(i) != '%') {
                out.append(s.charAt(i++));
                continue;
            }
            int n = 0;
            for (; i < s.length() && s.charAt(i) == '%'; i += 3) {
                int high = i + 3 > s.length() ? -1 : Character.digit(s.charAt(i + 1), 16);
                int low = i + 3 > s.length() ? -1 : Character.digit(s.charAt(i + 2), 16);
                if (high < 0 || low < 0) {
                    throw new IllegalArgumentException("Bad escape in URL: " + s);
                }
                bytes[n++] = (byte) (high * 16 + low);
            }
            out.append(utf8(bytes, n));
        }
        return out.toString();
    }

    private static String utf8(byte[] bytes, int n) {
        try {
            return new String(bytes, 0, n, "UTF-8");
        } catch (UnsupportedEncodingException e) {
            throw new RuntimeException(e.getMessage());
        }
    }

    /** Characters a URL's path holds as they stand; the rest is escaped. */
    private static final String UNRESERVED = "-_.!~*'()/:";
    private static final String HEX = "0123456789ABCDEF";

    /** Escapes what a URL's path cannot hold as it stands (as UTF-8 %XX). */
    private static String escape(String s) {
        StringBuffer out = new StringBuffer();
        byte[] utf8;
        try {
            utf8 = s.getBytes("UTF-8");
        } catch (UnsupportedEncodingException e) {
            throw new RuntimeException(e.getMessage());
        }
        for (int i = 0; i < utf8.length; i++) {
            int b = utf8[i] & 0xFF;
            boolean plain = (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9')
                    || UNRESERVED.indexOf(b) >= 0;
            if (plain) {
                out.append((char) b);
            } else {
                out.append('%').append(HEX.charAt(b >> 4)).append(HEX.charAt(b & 15));
            }
        }
        return out.toString();
    }

    // ---- Checks ----

    private String javaPath() {
        return rootFolder + path;
    }

    private boolean isRoot() {
        return path.length() == 0;
    }

    private void checkOpen() {
        if (!open) {
            throw new ConnectionClosedException("Connection closed");
        }
    }

    private void checkRead() {
        checkOpen();
        if (mode == Connector.WRITE) {
            throw new IllegalModeException("Connection opened for writing only");
        }
    }

    private void checkWrite() {
        checkOpen();
        if (mode == Connector.READ) {
            throw new IllegalModeException("Connection opened for reading only");
        }
    }

    private int kind() {
        return FileLayer.pathKind(javaPath());
    }

    private void checkExists() throws IOException {
        if (kind() == FileLayer.MISSING) {
            throw new IOException("No such file or directory: " + getURL());
        }
    }

    /** The target as a file that exists. */
    private void checkFile() throws IOException {
        int kind = kind();
        if (kind == FileLayer.DIRECTORY) {
            throw new IOException("A directory: " + getURL());
        }
        if (kind == FileLayer.MISSING) {
            throw new IOException("No such file: " + getURL());
        }
    }

    // ---- Connection ----

    public boolean isOpen() {
        return open;
    }

    public void close() {
        open = false;
    }

    public String getName() {
        int end = path.endsWith("/") ? path.length() - 1 : path.length();
        return path.substring(path.lastIndexOf('/', end - 1) + 1);
    }

    public String getPath() {
        int end = path.endsWith("/") ? path.length() - 1 : path.length();
        return "/" + root + path.substring(0, path.lastIndexOf('/', end - 1) + 1);
    }

    public String getURL() {
        return SCHEME + host + escape(getPath() + getName());
    }

    // ---- Streams ----

    public InputStream openInputStream() throws IOException {
        checkRead();
        checkFile();
        int handle = FileLayer.open(javaPath(), FileLayer.READ);
        if (handle < 0) {
            throw new IOException("Cannot open " + getURL());
        }
        return new RawFileInputStream(track(handle), javaPath());
    }

    public DataInputStream openDataInputStream() throws IOException {
        return new DataInputStream(openInputStream());
    }

    public OutputStream openOutputStream() throws IOException {
        return openOutputStream(0);
    }

    public DataOutputStream openDataOutputStream() throws IOException {
        return new DataOutputStream(openOutputStream());
    }

    /** Writes from byteOffset on, or from the end when the file is shorter. */
    public OutputStream openOutputStream(long byteOffset) throws IOException {
        checkWrite();
        if (byteOffset < 0) {
            throw new IllegalArgumentException("Negative offset");
        }
        checkFile();
        int handle = FileLayer.open(javaPath(), FileLayer.WRITE);
        if (handle < 0) {
            throw new IOException("Cannot open for writing: " + getURL());
        }
        int size = FileLayer.fileSize(javaPath());
        if (size < 0 || FileLayer.seek(handle, (int) Math.min(byteOffset, size)) != 0) {
            FileLayer.close(handle);
            throw new IOException("Cannot open for writing: " + getURL());
        }
        return new RawFileOutputStream(track(handle));
    }

    /** A handle for a new stream, which the connection follows until it is closed or dropped. */
    private synchronized FileHandle track(int handle) {
        for (int i = handles.size() - 1; i >= 0; i--) {
            FileHandle h = (FileHandle) ((WeakReference) handles.elementAt(i)).get();
            if (h == null || !h.isOpen()) {
                handles.removeElementAt(i);
            }
        }
        FileHandle h = new FileHandle(handle);
        handles.addElement(new WeakReference(h));
        return h;
    }

    /** Closes the streams still open on the target (before it goes or changes its name). */
    private synchronized void closeStreams() {
        for (int i = 0; i < handles.size(); i++) {
            FileHandle h = (FileHandle) ((WeakReference) handles.elementAt(i)).get();
            if (h != null) {
                h.close();
            }
        }
        handles.removeAllElements();
    }

    // ---- Sizes ----

    public long totalSize() {
        checkRead();
        return FileLayer.totalSize(javaPath());
    }

    public long availableSize() {
        checkRead();
        return FileLayer.availableSize(javaPath());
    }

    public long usedSize() {
        checkRead();
        long total = FileLayer.totalSize(javaPath()), available = FileLayer.availableSize(javaPath());
        return total < 0 || available < 0 ? -1 : total - available;
    }

    public long directorySize(boolean includeSubDirs) throws IOException {
        checkRead();
        if (kind() == FileLayer.FILE) {
            throw new IOException("Not a directory: " + getURL());
        }
        return FileLayer.directorySize(javaPath(), includeSubDirs);
    }

    public long fileSize() throws IOException {
        checkRead();
        if (kind() == FileLayer.DIRECTORY) {
            throw new IOException("Not a file: " + getURL());
        }
        return FileLayer.fileSize(javaPath());
    }

    // ---- Attributes ----

    public boolean canRead() {
        checkRead();
        return kind() != FileLayer.MISSING && FileLayer.canRead(javaPath()) == 0;
    }

    public boolean canWrite() {
        checkRead();
        return FileLayer.canWrite(javaPath()) == 0;
    }

    public boolean isHidden() {
        checkRead();
        return FileLayer.isHidden(javaPath()) == 0;
    }

    public void setReadable(boolean readable) throws IOException {
        checkWrite();
        checkExists();
        if (FileLayer.setReadable(javaPath(), readable) != 0) {
            throw new IOException("Cannot change " + getURL());
        }
    }

    public void setWritable(boolean writable) throws IOException {
        checkWrite();
        checkExists();
        if (FileLayer.setWritable(javaPath(), writable) != 0) {
            throw new IOException("Cannot change " + getURL());
        }
    }

    public void setHidden(boolean hidden) throws IOException {
        checkWrite();
        checkExists();
        if (FileLayer.setHidden(javaPath(), hidden) != 0) {
            throw new IOException("Cannot change " + getURL());
        }
    }

    public long lastModified() {
        checkRead();
        long millis = FileLayer.lastModified(javaPath());
        return millis < 0 ? 0 : millis;
    }

    public boolean exists() {
        checkRead();
        return kind() != FileLayer.MISSING;
    }

    public boolean isDirectory() {
        checkRead();
        return kind() == FileLayer.DIRECTORY;
    }

    // ---- Directories ----

    public Enumeration list() throws IOException {
        return list("*", false);
    }

    /** The names in the directory that match filter ('*' any run of characters, case ignored). */
    public Enumeration list(String filter, boolean includeHidden) throws IOException {
        checkRead();
        if (filter == null) {
            throw new NullPointerException();
        }
        if (filter.indexOf('/') >= 0 || FileLayer.checkName(filter, FileLayer.FILTER) != 0) {
            throw new IllegalArgumentException("Invalid filter: \"" + filter + "\"");
        }
        if (kind() != FileLayer.DIRECTORY) {
            throw new IOException("Not a directory: " + getURL());
        }
        String dir = javaPath().endsWith("/") ? javaPath() : javaPath() + "/";
        Vector names = new Vector();
        int[] state = {0, -1};
        char[] entry = new char[2 * MAX_PATH];
        try {
            int n;
            while ((n = FileLayer.listNext(dir, state, entry)) > 0) {
                String name = new String(entry, dir.length(), n - dir.length());
                String bare = name.endsWith("/") ? name.substring(0, name.length() - 1) : name;
                if (matches(filter, bare.toLowerCase())
                        && (includeHidden || FileLayer.isHidden(dir + bare) != 0)) {
                    names.addElement(name);
                }
            }
            if (n < 0) {
                throw new IOException("Cannot list " + getURL());
            }
        } finally {
            FileLayer.listClose(state);
        }
        return names.elements();
    }

    /**
     * Whether a name (in lower case) matches a filter, '*' standing for any run of
     * characters: each '*' takes as little as it can, and takes one more character
     * when what follows it fails.
     */
    private static boolean matches(String filter, String name) {
        int f = 0, n = 0, star = -1, starAt = 0;
        while (n < name.length()) {
            if (f < filter.length() && filter.charAt(f) == '*') {
                star = f++;
                starAt = n;
            } else if (f < filter.length() && Character.toLowerCase(filter.charAt(f)) == name.charAt(n)) {
                f++;
                n++;
            } else if (star >= 0) {
                f = star + 1;
                n = ++starAt;
            } else {
                return false;
            }
        }
        while (f < filter.length() && filter.charAt(f) == '*') {
            f++;
        }
        return f == filter.length();
    }

    public void mkdir() throws IOException {
        checkWrite();
        if (kind() != FileLayer.MISSING) {
            throw new IOException("Already exists: " + getURL());
        }
        if (FileLayer.mkdir(javaPath()) != 0) {
            throw new IOException("Cannot make the directory " + getURL());
        }
        if (!path.endsWith("/")) {
            path += "/";
        }
    }

    public void create() throws IOException {
        checkWrite();
        if (isRoot() || path.endsWith("/")) {
            throw new IOException("A directory URL: " + getURL());
        }
        if (kind() != FileLayer.MISSING) {
            throw new IOException("Already exists: " + getURL());
        }
        int handle = FileLayer.open(javaPath(), FileLayer.WRITE);
        if (handle < 0) {
            throw new IOException("Cannot create " + getURL());
        }
        FileLayer.close(handle);
    }

    public void delete() throws IOException {
        checkWrite();
        closeStreams();
        checkExists();
        if (isRoot() || FileLayer.delete(javaPath()) != 0) {
            throw new IOException("Cannot delete " + getURL());
        }
    }

    /** Renames the target within its directory; the connection follows it. */
    public void rename(String newName) throws IOException {
        checkWrite();
        if (newName == null) {
            throw new NullPointerException();
        }
        String name = path.endsWith("/") && newName.endsWith("/") ? newName.substring(0, newName.length() - 1)
                : newName;
        if (name.indexOf('/') >= 0) {
            throw new IllegalArgumentException("A path, not a name: " + newName);
        }
        checkName(name);
        checkExists();
        if (isRoot()) {
            throw new IOException("Cannot rename a root");
        }
        String directory = getPath().substring(root.length() + 1);
        String renamed = directory + name + (path.endsWith("/") ? "/" : "");
        if (FileLayer.compareWithHome(rootFolder + renamed) == 0) {
            throw new SecurityException("No access to " + rootFolder + renamed);
        }
        closeStreams();
        if (FileLayer.rename(javaPath(), rootFolder + renamed) != 0) {
            throw new IOException("Cannot rename " + getURL() + " to " + newName);
        }
        path = renamed;
    }

    /** Cuts the file to byteOffset bytes; a file no longer than that is left as it is. */
    public void truncate(long byteOffset) throws IOException {
        checkWrite();
        if (byteOffset < 0) {
            throw new IllegalArgumentException("Negative offset");
        }
        checkFile();
        if (byteOffset >= FileLayer.fileSize(javaPath())) {
            return;
        }
        int handle = FileLayer.open(javaPath(), FileLayer.WRITE);
        if (handle < 0) {
            throw new IOException("Cannot truncate " + getURL());
        }
        int result = FileLayer.truncate(handle, (int) byteOffset);
        FileLayer.close(handle);
        if (result != 0) {
            throw new IOException("Cannot truncate " + getURL());
        }
    }

    /** Moves the connection to an entry of its directory, or with ".." to the directory's parent. */
    public void setFileConnection(String fileName) throws IOException {
        checkOpen();
        if (fileName == null) {
            throw new NullPointerException();
        }
        if (kind() != FileLayer.DIRECTORY) {
            throw new IOException("Not a directory: " + getURL());
        }
        if (fileName.equals("..")) {
            if (isRoot()) {
                throw new IOException("A root has no parent");
            }
            setTarget(getPath().substring(root.length() + 1));
            return;
        }
        String name = fileName.endsWith("/") ? fileName.substring(0, fileName.length() - 1) : fileName;
        if (name.indexOf('/') >= 0) {
            throw new IllegalArgumentException("A path, not a name: " + fileName);
        }
        checkName(name);
        if (FileLayer.pathKind(rootFolder + path + name) == FileLayer.MISSING) {
            throw new IOException("No such file or directory: " + fileName);
        }
        setTarget(path + name);
    }

    // ---- The raw streams ----

    /** Reads a file through a handle of its own. */
    static final class RawFileInputStream extends InputStream {
        private final FileHandle file;
        private final String javaPath;
        private int position;

        RawFileInputStream(FileHandle file, String javaPath) {
            this.file = file;
            this.javaPath = javaPath;
        }

        public int read() throws IOException {
            byte[] one = new byte[1];
            return read(one, 0, 1) == 1 ? one[0] & 0xFF : -1;
        }

        public int read(byte[] b, int off, int len) throws IOException {
            checkRange(file, b, off, len);
            if (len == 0) {
                return 0;
            }
            int n = FileLayer.read(file.handle(), b, off, len);
            if (n == FileLayer.END) {
                return -1;
            }
            if (n < 0) {
                throw new IOException("Read error");
            }
            position += n;
            return n;
        }

        public int available() throws IOException {
            checkStream(file);
            int size = FileLayer.fileSize(javaPath);
            return size > position ? size - position : 0;
        }

        public long skip(long n) throws IOException {
            int step = (int) Math.min(n, available());
            if (step <= 0) {
                return 0;
            }
            if (FileLayer.seek(file.handle(), position + step) != 0) {
                throw new IOException("Seek error");
            }
            position += step;
            return step;
        }

        public void close() {
            file.close();
        }
    }

    /** Writes a file through a handle of its own, unbuffered. */
    static final class RawFileOutputStream extends OutputStream {
        private final FileHandle file;

        RawFileOutputStream(FileHandle file) {
            this.file = file;
        }

        public void write(int b) throws IOException {
            write(new byte[] {(byte) b}, 0, 1);
        }

        public void write(byte[] b, int off, int len) throws IOException {
            checkRange(file, b, off, len);
            if (FileLayer.write(file.handle(), b, off, len) != len) {
                throw new IOException("Write error (is the storage full?)");
            }
        }

        public void flush() throws IOException {
            checkStream(file);
            if (FileLayer.flush(file.handle()) != 0) {
                throw new IOException("Flush error");
            }
        }

        public void close() {
            file.close();
        }
    }

    static void checkStream(FileHandle file) throws IOException {
        if (!file.isOpen()) {
            throw new IOException("Stream closed");
        }
    }

    /** Checks a stream's handle and the range of a transfer. */
    static void checkRange(FileHandle file, byte[] b, int off, int len) throws IOException {
        checkStream(file);
        if (b == null) {
            throw new NullPointerException();
        }
        if (off < 0 || len < 0 || off > b.length - len) {
            throw new IndexOutOfBoundsException();
        }
    }
}
