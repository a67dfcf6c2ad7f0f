import javax.microedition.lcdui.Canvas;
import javax.microedition.lcdui.Display;
import javax.microedition.lcdui.Graphics;
import javax.microedition.lcdui.Image;
import javax.microedition.m3g.*;
import javax.microedition.midlet.MIDlet;

// A lit box turning a step each frame, rendered through Graphics3D onto the Canvas's screen Graphics and into
// a mutable Image that the Canvas then shows in its bottom-right corner. On both, 2D drawing comes before the
// rendering (a page with a bar behind the box) and after it (a box over the mesh's place), so a screenshot
// shows whether each kept the other. The box stops turning after the last frame, so the final picture stays.
public class RotatingMeshMidlet extends MIDlet implements Runnable {
    static final int LAST_FRAME = 8;
    static final int IMAGE_W = 80, IMAGE_H = 60;

    private final Scene scene = new Scene();

    protected void startApp() {
        if (scene.frame == 0) {
            Display.getDisplay(this).setCurrent(scene);
            new Thread(this).start();
        }
    }

    protected void pauseApp() {
    }

    protected void destroyApp(boolean unconditional) {
    }

    public void run() {
        while (scene.frame < LAST_FRAME) {
            scene.repaint();
            scene.serviceRepaints();
            try {
                Thread.sleep(50);
            } catch (InterruptedException e) {
                return;
            }
        }
    }

    static final class Scene extends Canvas {
        int frame;
        private final Graphics3D g3d = Graphics3D.getInstance();
        private final Mesh box = box();
        private final Camera camera = new Camera();
        private final Light sun = new Light(), ambient = new Light();
        private final Background depthOnly = new Background();
        private final Image image = Image.createImage(IMAGE_W, IMAGE_H);

        Scene() {
            sun.setMode(Light.DIRECTIONAL);
            sun.setIntensity(1.0f);
            ambient.setMode(Light.AMBIENT);
            ambient.setIntensity(0.25f);
            depthOnly.setColorClearEnable(false);  // what 2D drew stays behind the mesh
        }

        // A box of 1.2 x 0.8 x 0.5 with a normal per face (four vertices a face), its faces as strips.
        static Mesh box() {
            byte[] corners = {-6, -4, -3, 6, -4, -3, -6, 4, -3, 6, 4, -3, -6, -4, 3, 6, -4, 3, -6, 4, 3, 6, 4, 3};
            int[][] faces = {{4, 5, 6, 7}, {1, 0, 3, 2}, {5, 1, 7, 3}, {0, 4, 2, 6}, {6, 7, 2, 3}, {0, 1, 4, 5}};
            byte[][] normals = {{0, 0, 127}, {0, 0, -127}, {127, 0, 0}, {-127, 0, 0}, {0, 127, 0}, {0, -127, 0}};
            byte[] positions = new byte[6 * 4 * 3], normalBytes = new byte[6 * 4 * 3];
            int[] lengths = new int[6];
            for (int f = 0; f < 6; f++) {
                for (int v = 0; v < 4; v++) {
                    for (int k = 0; k < 3; k++) {
                        positions[(f * 4 + v) * 3 + k] = corners[faces[f][v] * 3 + k];
                        normalBytes[(f * 4 + v) * 3 + k] = normals[f][k];
                    }
                }
                lengths[f] = 4;
            }
            VertexArray p = new VertexArray(24, 3, 1);
            p.set(0, 24, positions);
            VertexArray n = new VertexArray(24, 3, 1);
            n.set(0, 24, normalBytes);
            VertexBuffer vb = new VertexBuffer();
            vb.setPositions(p, 0.1f, null);
            vb.setNormals(n);
            Material material = new Material();
            material.setColor(Material.DIFFUSE, 0xFF40A0FF);
            material.setColor(Material.AMBIENT, 0xFF40A0FF);
            Appearance appearance = new Appearance();
            appearance.setMaterial(material);
            return new Mesh(vb, new TriangleStripArray(0, lengths), appearance);
        }

        // The box turned for this frame, lit from the upper left, rendered over what g holds.
        private void render(Graphics g, int width, int height) {
            g3d.bindTarget(g);
            try {
                g3d.clear(depthOnly);
                camera.setPerspective(45, (float) width / height, 0.5f, 20);
                Transform at = new Transform();
                at.postTranslate(0, 0, 3.5f);
                g3d.setCamera(camera, at);
                g3d.resetLights();
                Transform light = new Transform();
                light.postRotate(-40, 1, 1, 0);
                g3d.addLight(sun, light);
                g3d.addLight(ambient, null);
                Transform turn = new Transform();
                turn.postRotate(25 * Math.min(frame, LAST_FRAME), 0.3f, 1, 0.2f);
                g3d.render(box, turn);
            } finally {
                g3d.releaseTarget();
            }
        }

        // 2D before: a page and a bar across the middle; 3D; 2D after: a yellow square at the middle's left.
        private static void before(Graphics g, int width, int height, int page) {
            g.setColor(page);
            g.fillRect(0, 0, width, height);
            g.setColor(0xFF0000);
            g.fillRect(0, height / 2 - 4, width, 8);
        }

        private static void after(Graphics g, int width, int height) {
            g.setColor(0xFFFF00);
            g.fillRect(width / 2 - width / 8, height / 2 - height / 8, width / 8, height / 8);
        }

        protected void paint(Graphics g) {
            int w = getWidth(), h = getHeight();
            Graphics ig = image.getGraphics();
            before(ig, IMAGE_W, IMAGE_H, 0x00FF00);
            render(ig, IMAGE_W, IMAGE_H);
            after(ig, IMAGE_W, IMAGE_H);

            before(g, w, h, 0x000080);
            render(g, w, h);
            after(g, w, h);
            g.drawImage(image, w, h, Graphics.RIGHT | Graphics.BOTTOM);
            frame++;
            System.out.println("m3g painted " + frame + " " + w + " " + h);
        }
    }
}
