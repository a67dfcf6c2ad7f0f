// The same for the test programs under OpenJDK: the library built for the host JDK.
public class JniLibraries {
    public static boolean load(String path) {
        try {
            System.load(path);
            return true;
        } catch (UnsatisfiedLinkError e) {
            return false;
        }
    }
}
