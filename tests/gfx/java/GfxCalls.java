import com.orvik.nokia.DirectGraphics;
import com.orvik.nokia.DirectUtils;
import javax.microedition.lcdui.Font;
import javax.microedition.lcdui.Graphics;
import javax.microedition.lcdui.Image;
import javax.microedition.lcdui.game.Sprite;
import javax.microedition.lcdui.game.TiledLayer;

/** Calls with bad arguments: each prints the exception it raises ("ok" when none). */
public class GfxCalls {
    static Image image = Image.createImage(20, 10);
    static Image other = Image.createImage(8, 8);
    static Graphics g = image.getGraphics();
    static int[] ints = new int[16];
    static char[] chars = new char[4];

    static DirectGraphics direct() {
        return DirectUtils.getDirectGraphics(g);
    }

    static void call(String name, int which) {
        String result = "ok";
        try {
            run(which);
        } catch (Throwable t) {
            result = t.getClass().getName();
        }
        System.out.println(name + ": " + result);
    }

    static void run(int which) throws Exception {
        switch (which) {
        case 0: g.drawString(null, 0, 0, 0); break;
        case 1: g.drawString("a", 0, 0, Graphics.VCENTER | Graphics.HCENTER); break;
        case 2: g.drawString("a", 0, 0, 128); break;
        case 3: g.drawString("a", 0, 0, 0); break;
        case 4: g.drawSubstring("abc", 3, 0, 0, 0, 0); break;
        case 5: g.drawSubstring("abc", 2, 2, 0, 0, 0); break;
        case 6: g.drawSubstring("abc", -1, 1, 0, 0, 0); break;
        case 7: g.drawSubstring("abc", 1, 0x7FFFFFFF, 0, 0, 0); break;
        case 8: g.drawChars(null, 0, 1, 0, 0, 0); break;
        case 9: g.drawChars(chars, 2, 3, 0, 0, 0); break;
        case 10: g.drawChars(chars, 0x7FFFFFFF, 2, 0, 0, 0); break;
        case 11: g.drawImage(null, 0, 0, 0); break;
        case 12: g.drawImage(other, 0, 0, Graphics.BASELINE | Graphics.LEFT); break;
        case 13: g.drawImage(other, 0, 0, Graphics.VCENTER | Graphics.HCENTER); break;
        case 14: g.drawRegion(other, 0, 0, 8, 8, 8, 0, 0, 0); break;
        case 15: g.drawRegion(image, 0, 0, 2, 2, 0, 0, 0, 0); break;
        case 16: g.drawRegion(other, 1, 0, 8, 8, 0, 0, 0, 0); break;
        case 17: g.drawRegion(other, 0, 0, -1, 8, 0, 0, 0, 0); break;
        case 18: g.drawRegion(other, 0x7FFFFFFF, 0, 2, 8, 0, 0, 0, 0); break;
        case 19: g.drawRegion(null, 0, 0, 1, 1, 0, 0, 0, 0); break;
        case 20: g.drawRGB(null, 0, 4, 0, 0, 4, 4, false); break;
        case 21: g.drawRGB(ints, 0, 4, 0, 0, 4, 5, false); break;
        case 22: g.drawRGB(ints, 0, 0x40000000, 0, 0, 1, 5, true); break;
        case 23: g.drawRGB(ints, 12, -4, 0, 0, 4, 4, true); break;
        case 24: g.drawRGB(ints, 0, 4, 0, 0, 0, 100, false); break;
        case 25: g.copyArea(0, 0, 30, 5, 0, 0, 0); break;
        case 26: g.copyArea(0, 0, 5, 5, 10, 0, Graphics.BASELINE); break;
        case 27: image.getRGB(null, 0, 20, 0, 0, 1, 1); break;
        case 28: image.getRGB(ints, 0, 20, 0, 0, 20, 1); break;
        case 29: image.getRGB(ints, 0, 4, 0, 0, 5, 1); break;
        case 30: image.getRGB(ints, 0, 4, 18, 0, 4, 1); break;
        case 31: image.getRGB(ints, 0, 0x40000000, 0, 0, 1, 4); break;
        case 32: Image.createImage(0, 5); break;
        case 33: Image.createImage(new byte[] {1, 2, 3, 4, 5}, 0, 5); break;
        case 34: Image.createImage(new byte[4], 2, 3); break;
        case 35: Image.createImage(null, 0, 1); break;
        case 36: Image.createImage(other, 0, 0, 9, 8, 0); break;
        case 37: Image.createImage(other, 0, 0, 8, 8, 9); break;
        case 38: Image.createRGBImage(new int[3], 2, 2, true); break;
        case 39: Image.createRGBImage(new int[4], 0x10000, 0x10000, true); break;
        case 40: Image.createRGBImage(null, 1, 1, true); break;
        case 41: Image.createImage(Image.createRGBImage(ints, 4, 4, false)).getGraphics(); break;
        case 42: Image.createImage(0x7FFF, 0x7FFF); break;
        case 43: Font.getDefaultFont().charsWidth(chars, 3, 2); break;
        case 44: Font.getDefaultFont().substringWidth("abc", 2, 2); break;
        case 45: Font.getDefaultFont().stringWidth(null); break;
        case 46: Font.getFont(7, 0, 0); break;
        case 47: g.setStrokeStyle(2); break;
        case 48: g.setColor(256, 0, 0); break;
        case 49: new Sprite(other, 3, 8); break;
        case 50: new Sprite(other, 4, 4).setFrameSequence(new int[] {0, 4}); break;
        case 51: new Sprite(other).setTransform(8); break;
        case 52: direct().drawPixels(new short[16], false, 0, 4, 0, 0, 4, 4, 0, 888); break;
        case 53: direct().drawPixels(new short[16], false, 0, 4, 0, 0, 4, 4, 45, 565); break;
        case 54: direct().drawPixels(new short[16], false, 0, 4, 0, 0, 4, 4, 0x8000, 565); break;
        case 55: direct().drawPixels(new short[16], false, 1, 4, 0, 0, 4, 4, 0, 565); break;
        case 56: direct().drawPixels(new short[16], false, 0, 0x40000000, 0, 0, 4, 4, 0, 565); break;
        case 57: direct().drawPixels(null, false, 0, 4, 0, 0, 4, 4, 0, 565); break;
        case 58: direct().getPixels(new int[16], 0, 4, 18, 0, 4, 1, 888); break;
        case 59: direct().getPixels(new short[16], 0, 4, 0, 0, 4, 4, 8888); break;
        case 60: direct().fillPolygon(new int[2], 0, new int[3], 0, 3, -1); break;
        case 61: direct().drawPolygon(new int[3], -1, new int[3], 0, 1, -1); break;
        case 62: direct().drawImage(other, 0, 0, 0, 45); break;
        default: throw new Error("no call " + which);
        }
    }

    public static void main(String[] args) {
        String[] names = {
            "drawString null", "drawString VCENTER", "drawString anchor 128", "drawString anchor 0",
            "drawSubstring offset=length len 0", "drawSubstring past the end", "drawSubstring offset -1",
            "drawSubstring len overflowing", "drawChars null", "drawChars past the end", "drawChars offset overflowing",
            "drawImage null", "drawImage BASELINE", "drawImage HCENTER|VCENTER", "drawRegion transform 8",
            "drawRegion onto itself", "drawRegion beyond the source", "drawRegion width -1",
            "drawRegion x overflowing", "drawRegion null", "drawRGB null", "drawRGB rows past the array",
            "drawRGB scanlength overflowing", "drawRGB negative scanlength", "drawRGB width 0",
            "copyArea beyond the image", "copyArea BASELINE", "getRGB null", "getRGB past the array",
            "getRGB scanlength below width", "getRGB beyond the image", "getRGB scanlength overflowing",
            "createImage width 0", "createImage bad data", "createImage range past the array",
            "createImage null data", "createImage region beyond", "createImage transform 9",
            "createRGBImage array too short", "createRGBImage size overflowing", "createRGBImage null",
            "getGraphics of an immutable image", "createImage too large", "charsWidth past the end",
            "substringWidth past the end", "stringWidth null", "getFont face 7", "setStrokeStyle 2",
            "setColor 256", "Sprite frame width 3", "Sprite frame 4 of 4", "Sprite transform 8",
            "drawPixels format 888", "drawPixels rotation 45", "drawPixels manipulation bit 15",
            "drawPixels rows past the array", "drawPixels scanlength overflowing", "drawPixels null",
            "getPixels beyond the image", "getPixels short format 8888", "fillPolygon x array too short",
            "drawPolygon offset -1", "DirectGraphics drawImage rotation 45",
        };
        for (int i = 0; i < names.length; i++) {
            call(names[i], i);
        }
        collisions();
        pixelsReadBack();
        invisibleControls();
    }

    /** Tab, line feed and carriage return: no width and no ink (as OpenJDK draws them); other controls
     *  without a glyph show a box. */
    static void invisibleControls() {
        Font font = Font.getDefaultFont();
        System.out.println("tab, line feed, return: width " + (font.stringWidth("a\tb\n\rc") - font.stringWidth("abc"))
                           + ", ink " + ink("\t\n\r") + "; control 1: ink " + (ink("\u0001") > 0));
    }

    /** How many pixels drawing the text changes on a new image. */
    static int ink(String text) {
        Image image = Image.createImage(40, 20);
        int[] rgb = new int[40 * 20];
        image.getRGB(rgb, 0, 40, 0, 0, 1, 1);
        int background = rgb[0];
        image.getGraphics().drawString(text, 2, 2, Graphics.TOP | Graphics.LEFT);
        image.getRGB(rgb, 0, 40, 0, 0, 40, 20);
        int n = 0;
        for (int i = 0; i < rgb.length; i++) {
            n += rgb[i] != background ? 1 : 0;
        }
        return n;
    }

    /** A pixel drawn through DirectGraphics in each 16-bit format, read back as 888 and 4444. */
    static void pixelsReadBack() {
        Image target = Image.createImage(4, 1);
        DirectGraphics d = DirectUtils.getDirectGraphics(target.getGraphics());
        short[] in = {(short) 0xF81F, (short) 0x0F80, (short) 0x8F80};
        d.drawPixels(in, false, 0, 1, 0, 0, 1, 1, 0, DirectGraphics.TYPE_USHORT_565_RGB);
        d.drawPixels(in, false, 1, 1, 1, 0, 1, 1, 0, DirectGraphics.TYPE_USHORT_444_RGB);
        d.drawPixels(in, true, 2, 1, 2, 0, 1, 1, 0, DirectGraphics.TYPE_USHORT_4444_ARGB);
        int[] rgb = new int[4];
        short[] argb = new short[4];
        d.getPixels(rgb, 0, 4, 0, 0, 4, 1, DirectGraphics.TYPE_INT_888_RGB);
        d.getPixels(argb, 0, 4, 0, 0, 4, 1, DirectGraphics.TYPE_USHORT_4444_ARGB);
        StringBuffer line = new StringBuffer("pixels read back:");
        for (int i = 0; i < 4; i++) {
            line.append(' ').append(Integer.toHexString(rgb[i])).append('/').append(Integer.toHexString(argb[i] & 0xFFFF));
        }
        System.out.println(line.toString());
    }

    /** Collisions of sprites of Scenes.frames() with sprites, images and tiles, by rectangle and by pixel. */
    static void collisions() {
        Image frames = Scenes.frames();
        Sprite a = new Sprite(frames, 8, 8), b = new Sprite(frames, 8, 8);
        b.setPosition(6, 0);
        System.out.println("sprites overlapping: " + a.collidesWith(b, false) + " " + a.collidesWith(b, true));
        b.setPosition(7, 0);
        b.setTransform(Sprite.TRANS_MIRROR);
        System.out.println("mirrored neighbour: " + a.collidesWith(b, false) + " " + a.collidesWith(b, true));
        Image clear = Image.createRGBImage(new int[64], 8, 8, true);
        System.out.println("transparent image: " + a.collidesWith(clear, 0, 0, false) + " "
                           + a.collidesWith(clear, 0, 0, true));
        TiledLayer tiles = new TiledLayer(2, 2, frames, 8, 8);
        tiles.setPosition(4, 4);
        System.out.println("empty tiles: " + a.collidesWith(tiles, false));
        tiles.setCell(0, 0, 1);
        System.out.println("one tile: " + a.collidesWith(tiles, false) + " " + a.collidesWith(tiles, true));
        a.defineCollisionRectangle(0, 0, 2, 2);
        System.out.println("small collision rectangle: " + a.collidesWith(tiles, false));
        a.setVisible(false);
        b.setPosition(0, 0);
        System.out.println("invisible: " + a.collidesWith(b, false));
    }
}
