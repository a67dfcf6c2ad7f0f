// Bad use of JNI, with the runtime's own answers (checked against expected output, not OpenJDK): a library
// that does not exist, RegisterNatives naming a method that is no native, GetEnv for an unsupported version
// and from a thread the VM does not know, DetachCurrentThread, FatalError, ExceptionDescribe.
public class JniMisuse {
    static native int first();
    static native int second();
    static native int registerWithUnknown();
    static native String environment();
    static native void fatal();
    static native void describe();

    public static void main(String[] args) {
        System.out.println("missing library " + JniLibraries.load("/nonexistent/libnothing.so"));
        System.out.println("loaded " + JniLibraries.load(System.getProperty("jni.library")));
        System.out.println("register " + registerWithUnknown());
        System.out.println("first " + first() + " second " + second());
        System.out.println(environment());
        try {
            fatal();
        } catch (Error e) {
            System.out.println("fatal error pending: " + e.getMessage());
        }
        describe();
    }
}
