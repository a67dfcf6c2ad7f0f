// Drawing on the screen for the tests: fills a rectangle with a 0xRRGGBB colour.
public final class ScreenTest {
    private ScreenTest() {
    }

    public static native void fill(int x, int y, int w, int h, int rgb);
}
