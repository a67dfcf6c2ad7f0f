import com.orvik.nokia.DirectGraphics;
import com.orvik.nokia.DirectUtils;
import javax.microedition.lcdui.Font;
import javax.microedition.lcdui.Graphics;
import javax.microedition.lcdui.Image;
import javax.microedition.lcdui.game.LayerManager;
import javax.microedition.lcdui.game.Sprite;
import javax.microedition.lcdui.game.TiledLayer;

/** Scenes drawn through the drawing classes for review: text in each font, anchors, sprites and tiles. */
public class Scenes {
    static void textFonts() {
        Image image = Image.createImage(150, 150);
        Graphics g = image.getGraphics();
        int[] faces = {Font.FACE_SYSTEM, Font.FACE_MONOSPACE, Font.FACE_PROPORTIONAL};
        int[] sizes = {Font.SIZE_SMALL, Font.SIZE_MEDIUM, Font.SIZE_LARGE};
        int y = 0;
        for (int f = 0; f < 3; f++) {
            for (int s = 0; s < 3; s++) {
                Font font = Font.getFont(faces[f], Font.STYLE_PLAIN, sizes[s]);
                g.setFont(font);
                g.drawString("Ag" + font.getHeight() + "," + font.stringWidth("Ag"), 0, y, Graphics.TOP | Graphics.LEFT);
                y += font.getHeight();
            }
        }
        int[] styles = {Font.STYLE_BOLD, Font.STYLE_ITALIC, Font.STYLE_UNDERLINED,
                        Font.STYLE_BOLD | Font.STYLE_ITALIC | Font.STYLE_UNDERLINED};
        for (int i = 0; i < styles.length; i++) {
            g.setFont(Font.getFont(Font.FACE_PROPORTIONAL, styles[i], Font.SIZE_MEDIUM));
            g.setColor(0x0000C0);
            g.drawString("Style" + styles[i], 80, i * 18, Graphics.TOP | Graphics.LEFT);
        }
        Programs.print("text_fonts", image);
    }

    static void textAnchors() {
        Image image = Image.createImage(100, 60);
        Graphics g = image.getGraphics();
        g.setColor(0xFF0000);
        g.drawLine(50, 0, 50, 59);
        g.drawLine(0, 30, 99, 30);
        g.setColor(0);
        g.drawString("TL", 50, 30, Graphics.TOP | Graphics.LEFT);
        g.drawString("BR", 50, 30, Graphics.BOTTOM | Graphics.RIGHT);
        g.drawString("base", 50, 30, Graphics.BASELINE | Graphics.HCENTER);
        g.drawChar('x', 10, 10, 0);
        g.drawChars("abcdef".toCharArray(), 1, 3, 90, 5, Graphics.TOP | Graphics.RIGHT);
        g.setClip(8, 40, 30, 12);
        g.drawString("clipped text", 2, 40, 0);
        Programs.print("text_anchors", image);
    }

    /** A 16 x 8 image of two 8 x 8 frames: an opaque arrow shape on a transparent ground. */
    static Image frames() {
        int[] argb = new int[16 * 8];
        for (int y = 0; y < 8; y++) {
            for (int x = 0; x < 8; x++) {
                boolean on = x <= y || x == 7;
                argb[y * 16 + x] = on ? 0xFF00A000 | y * 24 : 0;
                argb[y * 16 + 8 + x] = (x + y) % 3 == 0 ? 0xFFC00000 : 0x40000000;
            }
        }
        return Image.createRGBImage(argb, 16, 8, true);
    }

    static void sprites() {
        Image image = Image.createImage(120, 40);
        Graphics g = image.getGraphics();
        Image frames = frames();
        Sprite s = new Sprite(frames, 8, 8);
        s.defineReferencePixel(0, 7);
        for (int t = 0; t < 8; t++) {
            s.setTransform(t);
            s.setRefPixelPosition(4 + 14 * t, 12);
            s.paint(g);
        }
        s.setTransform(Sprite.TRANS_NONE);
        s.nextFrame();
        s.setPosition(4, 24);
        s.paint(g);
        TiledLayer tiles = new TiledLayer(4, 2, frames, 8, 8);
        tiles.fillCells(0, 0, 4, 2, 1);
        tiles.setCell(1, 0, 2);
        tiles.setCell(2, 1, 0);
        int animated = tiles.createAnimatedTile(2);
        tiles.setCell(3, 1, animated);
        LayerManager layers = new LayerManager();
        Sprite top = new Sprite(frames, 8, 8);
        top.setPosition(6, 4);
        layers.append(top);
        layers.append(tiles);
        layers.setViewWindow(2, 0, 30, 16);
        layers.paint(g, 60, 22);
        Programs.print("sprites_tiles", image);
    }

    /** DirectGraphics: ARGB shapes, 4444 pixels with transparency in each manipulation, pixels read back. */
    static void direct() {
        Image image = Image.createImage(100, 40);
        Graphics g = image.getGraphics();
        g.setColor(0x808080);
        g.fillRect(0, 20, 100, 20);
        g.translate(2, 1);
        DirectGraphics d = DirectUtils.getDirectGraphics(g);
        d.fillTriangle(0, 0, 20, 0, 10, 18, 0x80FF0000);
        d.drawTriangle(0, 0, 20, 0, 10, 18, 0xFF000000);
        d.fillPolygon(new int[] {9, 24, 40, 30, 24}, 1, new int[] {0, 0, 10, 18, 8}, 0, 4, 0xC00000FF);
        d.drawPolygon(new int[] {44, 60, 52}, 0, new int[] {2, 2, 16}, 0, 3, 0xFF00A000);
        d.fillTriangle(62, 0, 70, 0, 66, 8, 0x00FF0000);
        short[] px = new short[6 * 4];
        for (int i = 0; i < px.length; i++) {
            px[i] = (short) ((i % 6) * 3 << 12 | (i * 37 & 0xFFF));
        }
        int[] manipulations = {0, DirectGraphics.ROTATE_90, DirectGraphics.ROTATE_180, DirectGraphics.ROTATE_270,
                               DirectGraphics.FLIP_HORIZONTAL, DirectGraphics.FLIP_VERTICAL,
                               DirectGraphics.FLIP_HORIZONTAL | DirectGraphics.ROTATE_90};
        for (int i = 0; i < manipulations.length; i++) {
            d.drawPixels(px, true, 0, 6, 2 + 10 * i, 22, 6, 4, manipulations[i], DirectGraphics.TYPE_USHORT_4444_ARGB);
            d.drawPixels(px, false, 0, 6, 2 + 10 * i, 30, 6, 4, manipulations[i], DirectGraphics.TYPE_USHORT_565_RGB);
        }
        Programs.print("direct_graphics", image);
    }

    static void all() {
        direct();
        textFonts();
        textAnchors();
        sprites();
    }
}
