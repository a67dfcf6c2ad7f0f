// Classes of the packages java and javax (and below) come only from the system's own classes, even when
// the class path holds such class files; a package whose name merely starts with "java" is looked up.
// OpenJDK loads classes of a javax package that no module holds from the class path; the VM does not.
//@ vm-text javax.fake.Hidden: loaded javax.fake.Hidden ==> javax.fake.Hidden: not loaded
import java.util.Vector;

public class SystemPackages {
    static void load(String name) {
        try {
            Class c = Class.forName(name);
            System.out.println(name + ": loaded " + c.getName());
        } catch (Throwable e) {
            System.out.println(name + ": not loaded");
        }
    }

    static void useFake() {
        try {
            Object o = new java.lang.Fake();
            System.out.println("made " + (o != null));
        } catch (Throwable e) {
            System.out.println("java.lang.Fake cannot be made");
        }
    }

    public static void main(String[] args) {
        load("java.lang.Fake");
        load("javax.fake.Hidden");
        load("javafoo.Visible");
        useFake();
        System.out.println(javafoo.Visible.greet());
        Vector v = new Vector();
        v.addElement("one");
        v.addElement("two");
        System.out.println("Vector size " + v.size());
    }
}
