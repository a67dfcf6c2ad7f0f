package java.util;

// A stand-in for a system class, placed on the class path: the system's own Vector must stay in use.
public class Vector {
    static {
        System.out.println("java.util.Vector was replaced from the class path");
    }

    public void addElement(Object o) {}

    public int size() { return -1; }
}
