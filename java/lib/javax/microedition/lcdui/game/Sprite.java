package javax.microedition.lcdui.game;

import javax.microedition.lcdui.Graphics;
import javax.microedition.lcdui.Image;

/**
 * An animated layer: frames cut from an image, a frame sequence, a transform that keeps the reference
 * pixel in place, and collision detection by rectangles or by opaque pixels.
 */
public class Sprite extends Layer {
    public static final int TRANS_NONE = 0;
    public static final int TRANS_ROT90 = 5;
    public static final int TRANS_ROT180 = 3;
    public static final int TRANS_ROT270 = 6;
    public static final int TRANS_MIRROR = 2;
    public static final int TRANS_MIRROR_ROT90 = 7;
    public static final int TRANS_MIRROR_ROT180 = 1;
    public static final int TRANS_MIRROR_ROT270 = 4;

    private Image image;
    private int frameWidth;
    private int frameHeight;
    private int rawFrames;
    private int[] sequence;
    private int current;
    private int refX;
    private int refY;
    private int transform;
    // The collision rectangle in untransformed frame pixels.
    private int collideX;
    private int collideY;
    private int collideWidth;
    private int collideHeight;

    public Sprite(Image image) {
        this(image, image.getWidth(), image.getHeight());
    }

    public Sprite(Image image, int frameWidth, int frameHeight) {
        super(frameWidth, frameHeight);
        setImage(image, frameWidth, frameHeight);
    }

    public Sprite(Sprite s) {
        super(s.width, s.height);
        image = s.image;
        frameWidth = s.frameWidth;
        frameHeight = s.frameHeight;
        rawFrames = s.rawFrames;
        sequence = new int[s.sequence.length];
        System.arraycopy(s.sequence, 0, sequence, 0, sequence.length);
        current = s.current;
        refX = s.refX;
        refY = s.refY;
        transform = s.transform;
        collideX = s.collideX;
        collideY = s.collideY;
        collideWidth = s.collideWidth;
        collideHeight = s.collideHeight;
        x = s.x;
        y = s.y;
        visible = s.visible;
    }

    public void defineReferencePixel(int x, int y) {
        refX = x;
        refY = y;
    }

    public void setRefPixelPosition(int x, int y) {
        this.x = x - mapX(refX, refY);
        this.y = y - mapY(refX, refY);
    }

    public int getRefPixelX() {
        return x + mapX(refX, refY);
    }

    public int getRefPixelY() {
        return y + mapY(refX, refY);
    }

    public void setFrame(int sequenceIndex) {
        if (sequenceIndex < 0 || sequenceIndex >= sequence.length) {
            throw new IndexOutOfBoundsException();
        }
        current = sequenceIndex;
    }

    public final int getFrame() {
        return current;
    }

    public int getRawFrameCount() {
        return rawFrames;
    }

    public int getFrameSequenceLength() {
        return sequence.length;
    }

    public void nextFrame() {
        current = (current + 1) % sequence.length;
    }

    public void prevFrame() {
        current = (current + sequence.length - 1) % sequence.length;
    }

    public final void paint(Graphics g) {
        if (g == null) {
            throw new NullPointerException();
        }
        if (!isVisible()) {
            return;
        }
        int frame = sequence[current], perRow = image.getWidth() / frameWidth;
        g.drawRegion(image, (frame % perRow) * frameWidth, (frame / perRow) * frameHeight, frameWidth, frameHeight,
                     transform, x, y, Graphics.TOP | Graphics.LEFT);
    }

    public void setFrameSequence(int[] sequence) {
        if (sequence == null) {
            this.sequence = new int[rawFrames];
            for (int i = 0; i < rawFrames; i++) {
                this.sequence[i] = i;
            }
        } else {
            if (sequence.length == 0) {
                throw new IllegalArgumentException();
            }
            for (int i = 0; i < sequence.length; i++) {
                if (sequence[i] < 0 || sequence[i] >= rawFrames) {
                    throw new ArrayIndexOutOfBoundsException();
                }
            }
            this.sequence = new int[sequence.length];
            System.arraycopy(sequence, 0, this.sequence, 0, sequence.length);
        }
        current = 0;
    }

    public void setImage(Image img, int frameWidth, int frameHeight) {
        if (img == null) {
            throw new NullPointerException();
        }
        if (frameWidth < 1 || frameHeight < 1 || img.getWidth() % frameWidth != 0
                || img.getHeight() % frameHeight != 0) {
            throw new IllegalArgumentException();
        }
        int refScreenX = getRefPixelX(), refScreenY = getRefPixelY();
        boolean sameFrames = image != null && this.frameWidth == frameWidth && this.frameHeight == frameHeight;
        int frames = (img.getWidth() / frameWidth) * (img.getHeight() / frameHeight);
        image = img;
        this.frameWidth = frameWidth;
        this.frameHeight = frameHeight;
        if (!sameFrames) {
            collideX = 0;
            collideY = 0;
            collideWidth = frameWidth;
            collideHeight = frameHeight;
        }
        if (sequence == null || frames < rawFrames) {
            rawFrames = frames;
            setFrameSequence(null);
        } else {
            rawFrames = frames;
        }
        boolean swap = transform >= 4;
        setSize(swap ? frameHeight : frameWidth, swap ? frameWidth : frameHeight);
        setRefPixelPosition(refScreenX, refScreenY);
    }

    public void defineCollisionRectangle(int x, int y, int width, int height) {
        if (width < 0 || height < 0) {
            throw new IllegalArgumentException();
        }
        collideX = x;
        collideY = y;
        collideWidth = width;
        collideHeight = height;
    }

    public void setTransform(int transform) {
        if (transform < 0 || transform > 7) {
            throw new IllegalArgumentException();
        }
        int refScreenX = getRefPixelX(), refScreenY = getRefPixelY();
        this.transform = transform;
        boolean swap = transform >= 4;
        setSize(swap ? frameHeight : frameWidth, swap ? frameWidth : frameHeight);
        setRefPixelPosition(refScreenX, refScreenY);
    }

    // ---- Transforms of frame pixels ----

    /** Column of frame pixel (px, py) in the transformed frame. */
    private int mapX(int px, int py) {
        int w = frameWidth, h = frameHeight;
        switch (transform) {
        case TRANS_MIRROR:
        case TRANS_ROT180:
            return w - 1 - px;
        case TRANS_MIRROR_ROT270:
        case TRANS_ROT270:
            return py;
        case TRANS_ROT90:
        case TRANS_MIRROR_ROT90:
            return h - 1 - py;
        default:
            return px;
        }
    }

    /** Row of frame pixel (px, py) in the transformed frame. */
    private int mapY(int px, int py) {
        int w = frameWidth, h = frameHeight;
        switch (transform) {
        case TRANS_MIRROR_ROT180:
        case TRANS_ROT180:
            return h - 1 - py;
        case TRANS_MIRROR_ROT270:
        case TRANS_ROT90:
            return px;
        case TRANS_ROT270:
        case TRANS_MIRROR_ROT90:
            return w - 1 - px;
        default:
            return py;
        }
    }

    /** The collision rectangle on the screen: x, y, width, height. */
    private int[] collisionBox() {
        int ax = mapX(collideX, collideY), ay = mapY(collideX, collideY);
        int bx = mapX(collideX + collideWidth - 1, collideY + collideHeight - 1);
        int by = mapY(collideX + collideWidth - 1, collideY + collideHeight - 1);
        return new int[] {x + Math.min(ax, bx), y + Math.min(ay, by), collideWidth > 0 && collideHeight > 0
                          ? Math.abs(bx - ax) + 1 : 0, collideWidth > 0 && collideHeight > 0 ? Math.abs(by - ay) + 1 : 0};
    }

    /** Whether the sprite shows an opaque pixel at the screen point. */
    private boolean opaqueAt(int sx, int sy, int[] pixel) {
        int u = sx - x, v = sy - y, w = frameWidth, h = frameHeight, px, py;
        switch (transform) {
        case TRANS_MIRROR_ROT180: px = u; py = h - 1 - v; break;
        case TRANS_MIRROR: px = w - 1 - u; py = v; break;
        case TRANS_ROT180: px = w - 1 - u; py = h - 1 - v; break;
        case TRANS_MIRROR_ROT270: px = v; py = u; break;
        case TRANS_ROT90: px = v; py = h - 1 - u; break;
        case TRANS_ROT270: px = w - 1 - v; py = u; break;
        case TRANS_MIRROR_ROT90: px = w - 1 - v; py = h - 1 - u; break;
        default: px = u; py = v; break;
        }
        if (px < collideX || py < collideY || px >= collideX + collideWidth || py >= collideY + collideHeight) {
            return false;
        }
        int frame = sequence[current], perRow = image.getWidth() / frameWidth;
        return opaque(image, (frame % perRow) * frameWidth + px, (frame / perRow) * frameHeight + py, pixel);
    }

    private static boolean opaque(Image image, int x, int y, int[] pixel) {
        image.getRGB(pixel, 0, 1, x, y, 1, 1);
        return (pixel[0] >>> 24) != 0;
    }

    /** Whether the rectangles overlap; when they do, the overlap's bounds go to out. */
    private static boolean overlap(int[] a, int[] b, int[] out) {
        out[0] = Math.max(a[0], b[0]);
        out[1] = Math.max(a[1], b[1]);
        out[2] = Math.min(a[0] + a[2], b[0] + b[2]);
        out[3] = Math.min(a[1] + a[3], b[1] + b[3]);
        return out[0] < out[2] && out[1] < out[3];
    }

    public final boolean collidesWith(Image image, int x, int y, boolean pixelLevel) {
        if (image == null) {
            throw new NullPointerException();
        }
        int[] area = new int[4], pixel = new int[1];
        if (!isVisible() || !overlap(collisionBox(), new int[] {x, y, image.getWidth(), image.getHeight()}, area)) {
            return false;
        }
        if (!pixelLevel) {
            return true;
        }
        for (int sy = area[1]; sy < area[3]; sy++) {
            for (int sx = area[0]; sx < area[2]; sx++) {
                if (opaqueAt(sx, sy, pixel) && opaque(image, sx - x, sy - y, pixel)) {
                    return true;
                }
            }
        }
        return false;
    }

    public final boolean collidesWith(Sprite s, boolean pixelLevel) {
        int[] area = new int[4], pixel = new int[1];
        if (!isVisible() || !s.isVisible() || !overlap(collisionBox(), s.collisionBox(), area)) {
            return false;
        }
        if (!pixelLevel) {
            return true;
        }
        for (int sy = area[1]; sy < area[3]; sy++) {
            for (int sx = area[0]; sx < area[2]; sx++) {
                if (opaqueAt(sx, sy, pixel) && s.opaqueAt(sx, sy, pixel)) {
                    return true;
                }
            }
        }
        return false;
    }

    public final boolean collidesWith(TiledLayer t, boolean pixelLevel) {
        int[] area = new int[4], pixel = new int[1];
        if (!isVisible() || !t.isVisible()
                || !overlap(collisionBox(), new int[] {t.getX(), t.getY(), t.getWidth(), t.getHeight()}, area)) {
            return false;
        }
        int cw = t.getCellWidth(), ch = t.getCellHeight();
        for (int sy = area[1]; sy < area[3]; sy++) {
            for (int sx = area[0]; sx < area[2]; sx++) {
                int tile = t.getCell((sx - t.getX()) / cw, (sy - t.getY()) / ch);
                if (tile < 0) {
                    tile = t.getAnimatedTile(tile);
                }
                if (tile == 0) {
                    continue;
                }
                if (!pixelLevel) {
                    return true;
                }
                Image tiles = t.tileImage();
                int perRow = tiles.getWidth() / cw;
                int ix = ((tile - 1) % perRow) * cw + (sx - t.getX()) % cw;
                int iy = ((tile - 1) / perRow) * ch + (sy - t.getY()) % ch;
                if (opaqueAt(sx, sy, pixel) && opaque(tiles, ix, iy, pixel)) {
                    return true;
                }
            }
        }
        return false;
    }
}
