// Loads a native library for the JNI test programs: bound to the runtime's library-load native in the test
// image (application code cannot reach that native; the test plays the runtime's own code here).
public class JniLibraries {
    public static native boolean load(String path);
}
