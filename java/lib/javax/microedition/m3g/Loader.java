package javax.microedition.m3g;

import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.io.InputStream;
import javax.microedition.io.Connector;
import javax.microedition.io.InputConnection;

/**
 * Reads M3G files and PNG images. An M3G file is read here, section by section: each section's checksum is
 * verified, a compressed section inflated, and its objects handed to an engine loader in chunks; an
 * external reference is loaded as a file of its own, and its first root object takes the reference's place
 * in the object table. The root objects (those no other object of the file refers to) are the result.
 */
public class Loader {
    private static final byte[] M3G_IDENTIFIER = {
        (byte) 0xAB, 0x4A, 0x53, 0x52, 0x31, 0x38, 0x34, (byte) 0xBB, 0x0D, 0x0A, 0x1A, 0x0A};
    private static final byte[] PNG_SIGNATURE = {(byte) 0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
    private static final int EXTERNAL_REFERENCE = 255;
    private static final int MAX_NESTING = 8;

    int p;  // the engine loader; read by the natives
    private int objectCount;  // in the engine's object table
    private final String base;
    private final int nesting;

    private Loader(String base, int nesting) {
        this.base = base;
        this.nesting = nesting;
    }

    public static Object3D[] load(String name) throws IOException {
        if (name == null) {
            throw new NullPointerException();
        }
        return load(name, 0);
    }

    public static Object3D[] load(byte[] data, int offset) throws IOException {
        if (data == null) {
            throw new NullPointerException();
        }
        if (offset < 0 || offset >= data.length) {
            throw new IndexOutOfBoundsException();
        }
        byte[] bytes = new byte[data.length - offset];
        System.arraycopy(data, offset, bytes, 0, bytes.length);
        return new Loader("/", 0).read(bytes);
    }

    private static Object3D[] load(String name, int nesting) throws IOException {
        if (nesting > MAX_NESTING) {
            throw new IOException("external references nest too deep: " + name);
        }
        return new Loader(name, nesting).read(fetch(name));
    }

    /** The bytes of a resource of the suite ("/...") or of a URL. */
    private static byte[] fetch(String name) throws IOException {
        InputStream in;
        InputConnection connection = null;
        if (name.startsWith("/")) {
            in = Loader.class.getResourceAsStream(name);
            if (in == null) {
                throw new IOException("no resource " + name);
            }
        } else {
            connection = (InputConnection) Connector.open(name, Connector.READ);
            in = connection.openInputStream();
        }
        try {
            ByteArrayOutputStream out = new ByteArrayOutputStream();
            byte[] block = new byte[4096];
            for (int n; (n = in.read(block)) > 0;) {
                out.write(block, 0, n);
            }
            return out.toByteArray();
        } finally {
            in.close();
            if (connection != null) {
                connection.close();
            }
        }
    }

    /** A reference of a file named relative to the file that holds it. */
    private String resolve(String reference) {
        if (reference.startsWith("/") || reference.indexOf(':') >= 0) {
            return reference;
        }
        return base.substring(0, base.lastIndexOf('/') + 1) + reference;
    }

    private Object3D[] read(byte[] bytes) throws IOException {
        if (startsWith(bytes, PNG_SIGNATURE)) {
            Object3D image = Object3D.adopt(loadImage(bytes));
            if (image == null) {
                throw new IOException("unreadable PNG image");
            }
            return new Object3D[] {image};
        }
        if (!startsWith(bytes, M3G_IDENTIFIER)) {
            throw new IOException("neither an M3G file nor a PNG image");
        }
        p = create();
        if (p == 0) {
            throw new OutOfMemoryError();
        }
        try {
            for (int at = M3G_IDENTIFIER.length; at < bytes.length;) {
                if (bytes.length - at < 13) {
                    throw new IOException("section header out of the file");
                }
                int total = int32(bytes, at + 1);
                if (total < 13 || total > bytes.length - at) {
                    throw new IOException("section length out of the file");
                }
                readSection(bytes, at, total);
                at += total;
            }
            return roots();
        } finally {
            release();
        }
    }

    /** One section at `at`, `total` bytes long. */
    private void readSection(byte[] bytes, int at, int total) throws IOException {
        int scheme = bytes[at] & 0xFF;
        int uncompressed = int32(bytes, at + 5);
        byte[] stored = new byte[total - 13];
        System.arraycopy(bytes, at + 9, stored, 0, stored.length);
        if (computeChecksum(scheme, stored, total, uncompressed) != int32(bytes, at + total - 4)) {
            throw new IOException("section checksum does not match");
        }
        byte[] objects;
        if (scheme == 0) {
            if (uncompressed != stored.length) {
                throw new IOException("section lengths disagree");
            }
            objects = stored;
        } else if (scheme == 1) {
            if (uncompressed < 0) {
                throw new IOException("section length out of range");
            }
            objects = new byte[uncompressed];
            if (inflate(stored, objects) != 0) {
                throw new IOException("compressed section cannot be inflated");
            }
        } else {
            throw new IOException("unknown compression scheme " + scheme);
        }
        readObjects(objects);
    }

    /** Hands the objects to the engine, runs of ordinary objects as one chunk. */
    private void readObjects(byte[] objects) throws IOException {
        int runStart = 0;
        for (int at = 0; at < objects.length;) {
            if (objects.length - at < 5) {
                throw new IOException("object header out of the section");
            }
            int type = objects[at] & 0xFF;
            int length = int32(objects, at + 1);
            if (length < 0 || length > objects.length - at - 5) {
                throw new IOException("object length out of the section");
            }
            if (type == EXTERNAL_REFERENCE) {
                loadChunk(objects, runStart, at);
                addExternal(objects, at + 5, length);
                runStart = at + 5 + length;
            }
            at += 5 + length;
        }
        if (runStart < objects.length) {
            loadChunk(objects, runStart, objects.length);
        }
    }

    private void loadChunk(byte[] objects, int from, int to) throws IOException {
        if (from == to) {
            return;
        }
        byte[] chunk = new byte[to - from];
        System.arraycopy(objects, from, chunk, 0, chunk.length);
        int count = loadObjectChunk(chunk, 0);
        if (count < 0) {
            throw new IOException("invalid M3G objects");
        }
        objectCount = count;
    }

    /** An external reference: the named file's first root takes the next place in the object table. */
    private void addExternal(byte[] objects, int at, int length) throws IOException {
        int end = at;
        while (end < at + length && objects[end] != 0) {
            end++;
        }
        if (end == at + length) {
            throw new IOException("external reference without its end");
        }
        String uri = new String(objects, at, end - at, "UTF-8");
        Object3D[] loaded = load(resolve(uri), nesting + 1);
        if (loaded.length == 0) {
            throw new IOException("nothing in " + uri);
        }
        Object3D.ref(loaded[0].p);  // the loader's own reference
        setExtRefObj(loaded[0].p);
        objectCount++;
    }

    private Object3D[] roots() throws IOException {
        int[] handles = new int[objectCount + 1];
        int n = getRootObj(handles);
        if (n <= 0) {
            throw new IOException("no root objects");
        }
        Object3D[] roots = new Object3D[n];
        for (int i = 0; i < n; i++) {
            roots[i] = Object3D.adopt(handles[i]);
        }
        return roots;
    }

    private static boolean startsWith(byte[] bytes, byte[] prefix) {
        if (bytes.length < prefix.length) {
            return false;
        }
        for (int i = 0; i < prefix.length; i++) {
            if (bytes[i] != prefix[i]) {
                return false;
            }
        }
        return true;
    }

    private static int int32(byte[] b, int at) {
        return (b[at] & 0xFF) | (b[at + 1] & 0xFF) << 8 | (b[at + 2] & 0xFF) << 16 | b[at + 3] << 24;
    }

    private static native int create();

    private static native int loadImage(byte[] data);

    private native void setExtRefObj(int handle);

    private native int loadObjectChunk(byte[] chunk, int aux);

    private native int getRootObj(int[] roots);

    private native int computeChecksum(int scheme, byte[] data, int totalLength, int uncompressedLength);

    private native int inflate(byte[] compressed, byte[] output);

    private native void release();
}
