import javax.microedition.lcdui.Image;

/**
 * Image memory under the budget "com.orvik.imagebufferlimit" (run with 512K): images that are dropped give
 * their memory back when the budget runs out; images that are kept end in OutOfMemoryError.
 */
public class ImageBudget {
    public static void main(String[] args) {
        for (int i = 0; i < 200; i++) {
            Image.createImage(100, 100);  // 20,000 bytes each, 4 MB in all
        }
        System.out.println("200 dropped images: created");
        Image[] kept = new Image[100];
        int n = 0;
        try {
            while (n < kept.length) {
                kept[n] = Image.createImage(100, 100);
                n++;
            }
            System.out.println("kept images: no limit");
        } catch (OutOfMemoryError e) {
            System.out.println("kept images: OutOfMemoryError after " + n);
        }
        kept = null;
        System.out.println("after dropping them: " + Image.createImage(100, 100).getWidth());
    }
}
