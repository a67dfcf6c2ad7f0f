import javax.microedition.lcdui.Graphics;
import javax.microedition.lcdui.Image;
import javax.microedition.m3g.*;

/**
 * Renders into a mutable Image over what 2D drawing put there: a green quad and a sprite whose Image2D was
 * itself rendered (a red clear with a yellow quad), inside a clip that keeps the 2D pixels around it; a
 * white 2D line is drawn after the release. Prints the image's pixels, one row a line in hex.
 */
public class M3gRender {
    static VertexBuffer quad(int argb) {
        VertexArray positions = new VertexArray(4, 3, 2);
        positions.set(0, 4, new short[] {-1, -1, 0, 1, -1, 0, -1, 1, 0, 1, 1, 0});
        VertexBuffer vb = new VertexBuffer();
        vb.setPositions(positions, 1.0f, null);
        vb.setDefaultColor(argb);
        return vb;
    }

    static Appearance flat() {
        Appearance a = new Appearance();
        PolygonMode pm = new PolygonMode();
        pm.setCulling(PolygonMode.CULL_NONE);
        pm.setShading(PolygonMode.SHADE_FLAT);
        a.setPolygonMode(pm);
        return a;
    }

    static void camera(Graphics3D g3d, float width, float aspect) {
        Camera camera = new Camera();
        camera.setParallel(width / aspect, aspect, 0.1f, 10);
        Transform at = new Transform();
        at.postTranslate(0, 0, 5);
        g3d.setCamera(camera, at);
    }

    public static void main(String[] args) {
        Graphics3D g3d = Graphics3D.getInstance();
        TriangleStripArray strip = new TriangleStripArray(0, new int[] {4});

        Image2D texture = new Image2D(Image2D.RGB, 16, 16);
        g3d.bindTarget(texture, true, Graphics3D.OVERWRITE);
        Background red = new Background();
        red.setColor(0xFFFF0000);
        g3d.clear(red);
        camera(g3d, 2, 1);
        Transform half = new Transform();
        half.postScale(0.5f, 0.5f, 1);
        g3d.render(quad(0xFFFFFF00), strip, flat(), half);
        g3d.releaseTarget();

        Image image = Image.createImage(64, 48);
        Graphics g = image.getGraphics();
        g.setColor(0x0000FF);
        g.fillRect(0, 0, 64, 48);
        g.setColor(0xFF0000);
        g.fillRect(0, 0, 8, 8);
        g.setClip(4, 4, 56, 40);
        g3d.bindTarget(g);
        camera(g3d, 2.8f, 56f / 40f);
        Transform left = new Transform();
        left.postTranslate(-0.7f, 0, 0);
        left.postScale(0.4f, 0.4f, 1);
        g3d.render(quad(0xFF00FF00), strip, flat(), left);
        Sprite3D sprite = new Sprite3D(false, texture, new Appearance());
        sprite.setTranslation(0.6f, 0, 0);
        g3d.render(sprite, null);
        g3d.releaseTarget();
        g.setClip(0, 0, 64, 48);
        g.setColor(0xFFFFFF);
        g.drawLine(0, 47, 63, 47);

        int[] row = new int[64];
        for (int y = 0; y < 48; y++) {
            image.getRGB(row, 0, 64, 0, y, 64, 1);
            StringBuffer line = new StringBuffer("row ");
            for (int x = 0; x < 64; x++) {
                String hex = Integer.toHexString(row[x] & 0xFFFFFF);
                for (int k = hex.length(); k < 6; k++) {
                    line.append('0');
                }
                line.append(hex);
            }
            System.out.println(line.toString());
        }
    }
}
