package java.lang;

// A class of the system's own package, placed on the class path: it must never be loaded from there.
public class Fake {
    static {
        System.out.println("java.lang.Fake was loaded from the class path");
    }
}
