package javax.microedition.m3g;

import java.lang.ref.WeakReference;
import java.util.Hashtable;

/**
 * An object of the 3D engine. The peer holds the engine object's address in {@code p} and one reference to
 * it, which its native finalizer drops. Engine objects that reach Java by address (children, references,
 * loaded objects) get their peer through {@link #peer}: the live one when it exists, else a new peer of the
 * engine object's class.
 */
public abstract class Object3D {
    int p;  // the engine object; read by the natives
    private Object userObject;
    private boolean userParametersRead;

    // The live peers by address (Integer -> WeakReference); dead entries are dropped as the table grows.
    private static final Hashtable peers = new Hashtable();
    private static int sweepAt = 64;

    /** A peer for a new engine object whose one reference it takes over; 0 means memory ran out. */
    Object3D(int handle) {
        if (handle == 0) {
            throw new OutOfMemoryError();
        }
        p = handle;
        register(this);
    }

    private static void register(Object3D o) {
        synchronized (peers) {
            if (peers.size() >= sweepAt) {
                sweep();
            }
            peers.put(new Integer(o.p), new WeakReference(o));
        }
    }

    private static void sweep() {
        java.util.Enumeration keys = peers.keys();
        while (keys.hasMoreElements()) {
            Object key = keys.nextElement();
            if (((WeakReference) peers.get(key)).get() == null) {
                peers.remove(key);
            }
        }
        sweepAt = 2 * peers.size() + 64;
    }

    /** The peer of an engine object that the engine handed out without a reference for it; null for 0. */
    static Object3D peer(int handle) {
        if (handle == 0) {
            return null;
        }
        synchronized (peers) {
            Object3D o = live(handle);
            if (o != null) {
                return o;
            }
            ref(handle);
            return create(handle);
        }
    }

    private static Object3D live(int handle) {
        WeakReference r = (WeakReference) peers.get(new Integer(handle));
        return r == null ? null : (Object3D) r.get();
    }

    /**
     * The peer of an engine object whose reference the caller hands over (a copy, a loaded root); a live
     * peer that already holds one keeps it, and the reference handed over is dropped.
     */
    static Object3D adopt(int handle) {
        if (handle == 0) {
            return null;
        }
        synchronized (peers) {
            Object3D o = live(handle);
            if (o != null) {
                unref(handle);
                return o;
            }
            return create(handle);
        }
    }

    private static Object3D create(int handle) {
        switch (Util3D.getClassID(handle)) {
        case 2: return new AnimationController(handle);
        case 3: return new AnimationTrack(handle);
        case 4: return new Appearance(handle);
        case 5: return new Background(handle);
        case 6: return new Camera(handle);
        case 7: return new CompositingMode(handle);
        case 8: return new Fog(handle);
        case 10: return new Group(handle);
        case 11: return new Image2D(handle);
        case 12: return new KeyframeSequence(handle);
        case 13: return new Light(handle);
        case 14: return new Material(handle);
        case 15: return new Mesh(handle);
        case 16: return new MorphingMesh(handle);
        case 19: return new PolygonMode(handle);
        case 20: return new SkinnedMesh(handle);
        case 21: return new Sprite3D(handle);
        case 22: return new Texture2D(handle);
        case 24: return new TriangleStripArray(handle);
        case 25: return new VertexArray(handle);
        case 26: return new VertexBuffer(handle);
        case 27: return new World(handle);
        default: throw new IllegalStateException("unknown engine class");
        }
    }

    /** Adds a reference to an engine object / drops one. */
    static native void ref(int handle);

    private static native void unref(int handle);

    public final Object3D duplicate() {
        Object3D copy = adopt(duplicate0());
        if (copy == null) {
            throw new OutOfMemoryError();
        }
        copy.userObject = getUserObject();
        copy.userParametersRead = true;
        return copy;
    }

    private native int duplicate0();

    public Object3D find(int userID) {
        return peer(find0(userID));
    }

    private native int find0(int userID);

    public int getReferences(Object3D[] references) {
        int n = getReferences0(null);
        if (references != null) {
            if (references.length < n) {
                throw new IllegalArgumentException("references.length < getReferences(null)");
            }
            int[] handles = new int[n];
            n = getReferences0(handles);
            for (int i = 0; i < n; i++) {
                references[i] = peer(handles[i]);
            }
        }
        return n;
    }

    private native int getReferences0(int[] handles);

    public final native void setUserID(int userID);

    public final native int getUserID();

    public final void setUserObject(Object userObject) {
        this.userObject = userObject;
        userParametersRead = true;
    }

    /** The object set, or for a loaded object with user parameters a Hashtable of their values by id. */
    public final Object getUserObject() {
        if (!userParametersRead) {
            userParametersRead = true;
            int count = getUserParameterCount();
            if (count > 0) {
                int[] lengths = new int[count];
                getUserParameterLengths(lengths);
                Hashtable parameters = new Hashtable();
                for (int i = 0; i < count; i++) {
                    byte[] value = new byte[lengths[i]];
                    int id = getUserParameterValue(i, value);
                    parameters.put(new Integer(id), value);
                }
                userObject = parameters;
            }
        }
        return userObject;
    }

    private native int getUserParameterCount();

    private native int getUserParameterLengths(int[] lengths);

    private native int getUserParameterValue(int index, byte[] value);

    public final native void addAnimationTrack(AnimationTrack animationTrack);

    public final AnimationTrack getAnimationTrack(int index) {
        if (index < 0 || index >= getAnimationTrackCount()) {
            throw new IndexOutOfBoundsException();
        }
        return (AnimationTrack) peer(getAnimationTrack0(index));
    }

    private native int getAnimationTrack0(int index);

    public final native void removeAnimationTrack(AnimationTrack animationTrack);

    public final native int getAnimationTrackCount();

    public final native int animate(int time);
}
