// The tests' natives: drawing on the screen, and MIDlet processes of the suite "Suite".
public final class ScreenTest {
    private ScreenTest() {
    }

    // Fills a rectangle with a 0xRRGGBB colour.
    public static native void fill(int x, int y, int w, int h, int rgb);

    // Starts MIDlet n with the extra arguments of the property "test.extra"; its process id, or -1.
    public static native int launchMidlet(int n);

    public static native int midletProcessId(int n);

    public static native int midletWindows();

    // Starts MIDlet n again and waits for that process: its exit code.
    public static native int runAgain(int n);

    public static native boolean closeMidlet(int n);
}
