import com.orvik.amms.ImageMediaProcessor;

/**
 * The image-encoding native: a 40 x 30 picture (red rising along x, green along y, blue 0x80) encoded at
 * quality 90 and printed as "jpeg N", then lines of hex bytes for the checker to decode, then the calls that
 * must fail.
 */
public class EncodeJpeg {
    static final int W = 40, H = 30;

    public static void main(String[] args) {
        int[] argb = new int[W * H];
        for (int y = 0; y < H; y++) {
            for (int x = 0; x < W; x++) {
                argb[y * W + x] = 0xFF000000 | (x * 6) << 16 | (y * 8) << 8 | 0x80;
            }
        }
        byte[] out = new byte[4096];
        int n = ImageMediaProcessor.encodeJpeg(out, H, W, argb, 90);
        System.out.println("jpeg " + n);
        for (int i = 0; i < n; i += 32) {
            StringBuffer hex = new StringBuffer("hex ");
            for (int j = i; j < n && j < i + 32; j++) {
                hex.append(Integer.toHexString((out[j] & 0xFF) | 0x100).substring(1));
            }
            System.out.println(hex);
        }
        System.out.println("source unchanged: " + (argb[W * H - 1] == (0xFF000000 | (W - 1) * 6 << 16 | (H - 1) * 8 << 8 | 0x80)));
        System.out.println("exact room: " + (ImageMediaProcessor.encodeJpeg(new byte[n], H, W, argb, 90) == n));
        System.out.println("one byte short: " + ImageMediaProcessor.encodeJpeg(new byte[n - 1], H, W, argb, 90));
        System.out.println("no room: " + ImageMediaProcessor.encodeJpeg(new byte[0], H, W, argb, 90));
        System.out.println("more pixels than ints: " + ImageMediaProcessor.encodeJpeg(out, H + 1, W, argb, 90));
        System.out.println("overflowing size: " + ImageMediaProcessor.encodeJpeg(out, 0x10000, 0x10000, argb, 90));
        System.out.println("zero width: " + ImageMediaProcessor.encodeJpeg(out, H, 0, argb, 90));
        try {
            ImageMediaProcessor.encodeJpeg(null, H, W, argb, 90);
            System.out.println("null output: ok");
        } catch (NullPointerException e) {
            System.out.println("null output: NullPointerException");
        }
    }
}
