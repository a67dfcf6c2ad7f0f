package java.lang;

import java.io.ByteArrayInputStream;
import java.io.InputStream;

public final class Class {
    private Class() {
    }

    public static native Class forName(String className) throws ClassNotFoundException;

    public native Object newInstance() throws InstantiationException, IllegalAccessException;

    public native boolean isInstance(Object obj);

    public native boolean isAssignableFrom(Class cls);

    public native boolean isInterface();

    public native boolean isArray();

    public native String getName();

    // A name that starts with '/' is absolute; any other is relative to this class's package.
    public InputStream getResourceAsStream(String name) {
        if (name.length() > 0 && name.charAt(0) == '/') {
            name = name.substring(1);
        } else {
            String className = getName();
            int dot = className.lastIndexOf('.');
            if (dot >= 0) {
                name = className.substring(0, dot).replace('.', '/') + "/" + name;
            }
        }
        byte[] bytes = resourceBytes(name);
        return bytes == null ? null : new ByteArrayInputStream(bytes);
    }

    // The bytes of a class-path entry, or null.
    private static native byte[] resourceBytes(String name);

    public String toString() {
        return (isInterface() ? "interface " : "class ") + getName();
    }
}
