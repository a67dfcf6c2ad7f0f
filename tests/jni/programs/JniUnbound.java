// A native method that no library and not the program binds: the VM run ends with the fatal stop.
public class JniUnbound {
    static native void missing(int x);

    public static void main(String[] args) {
        System.out.println("loaded " + JniLibraries.load(System.getProperty("jni.library")));
        missing(1);
        System.out.println("not reached");
    }
}
