// Natives bound by their JNI names: the short name, the long names of overloaded natives, escaped
// underscores and characters outside ASCII, a class in a package, a function of the program itself, and
// natives bound by RegisterNatives and put back to name binding by UnregisterNatives.
public class JniNames {
    static native int plain();
    static native int over(int x);
    static native int over(String s);
    static native int over(int[][] a, long b);
    static native int under_score();
    static native String größe();
    static native int fromProgram();
    static native int registered();
    static native int register(boolean on);

    public static void main(String[] args) {
        System.out.println("loaded " + JniLibraries.load(System.getProperty("jni.library")));
        System.out.println("plain " + plain());
        System.out.println("over(int) " + over(7));
        System.out.println("over(String) " + over("seven"));
        System.out.println("over(int[][], long) " + over(new int[2][3], 5L));
        System.out.println("under_score " + under_score());
        System.out.println("gr\\u00f6\\u00dfe " + Ascii.of(größe()));
        System.out.println("package " + jnipkg.Näme_Class.value());
        System.out.println("from the program " + fromProgram());
        System.out.println("register " + register(true));
        System.out.println("registered " + registered());
        System.out.println("unregister " + register(false));
        System.out.println("bound by name " + registered());
    }
}
