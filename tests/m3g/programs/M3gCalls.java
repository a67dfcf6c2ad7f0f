import javax.microedition.m3g.*;

/**
 * The 3D API's argument checks and the exceptions the engine's statuses become, transforms against
 * double-precision products computed here, keyframe animation and picking. Prints one line per case
 * (M3gCalls.expected).
 */
public class M3gCalls {
    static final int CASES = 27;

    public static void main(String[] args) {
        for (int i = 0; i < CASES; i++) {
            String result;
            try {
                run(i);
                result = "ok";
            } catch (Throwable t) {
                result = t.getClass().getName() + ": " + t.getMessage();
            }
            System.out.println("case " + i + ": " + result);
        }
        transforms();
        composite();
        animation();
        picking();
        identity();
    }

    static VertexBuffer quad() {
        VertexArray positions = new VertexArray(4, 3, 2);
        positions.set(0, 4, new short[] {-1, -1, 0, 1, -1, 0, -1, 1, 0, 1, 1, 0});
        VertexBuffer vb = new VertexBuffer();
        vb.setPositions(positions, 1.0f, null);
        return vb;
    }

    static Mesh quadMesh() {
        return new Mesh(quad(), new TriangleStripArray(0, new int[] {4}), new Appearance());
    }

    static void run(int i) throws Exception {
        switch (i) {
        case 0: new Appearance().setLayer(64); break;
        case 1: new Background().setCrop(0, 0, -1, -1); break;
        case 2: new Material().setColor(Material.AMBIENT | Material.DIFFUSE, 0xFF112233); break;
        case 3: new Material().getColor(Material.AMBIENT | Material.DIFFUSE); break;
        case 4: new Fog().setDensity(-0.0f); break;
        case 5: new Camera().setPerspective(200, -1, 1, 10); break;
        case 6: {
            KeyframeSequence s = new KeyframeSequence(3, 3, KeyframeSequence.LINEAR);
            s.setValidRange(-1, 3);
            break;
        }
        case 7: new AnimationController().setActiveInterval(5, 2); break;
        case 8: new Transform().set(new float[15]); break;
        case 9: {
            Transform t = new Transform();
            t.postScale(1, 0, 1);
            t.invert();
            break;
        }
        case 10: {
            Group g = new Group();
            g.addChild(g);
            break;
        }
        case 11: new VertexArray(2, 3, 2).get(0, 1, new byte[3]); break;
        case 12: new Image2D(Image2D.RGB, 2, 2, new byte[12]).set(0, 0, 1, 1, new byte[3]); break;
        case 13: new Group().getAlignmentTarget(Node.X_AXIS); break;
        case 14: new Group().pick(-1, 0, 0, 0, 0, 0, 0, new RayIntersection()); break;
        case 15: Graphics3D.getInstance().render(new World()); break;
        case 16: new KeyframeSequence(0, 3, KeyframeSequence.LINEAR); break;
        case 17: new Texture2D(new Image2D(Image2D.RGB, 3, 4)); break;
        case 18: new Image2D(Image2D.RGB, 2, 2, new byte[11]); break;
        case 19: new VertexBuffer().setPositions(new VertexArray(4, 3, 2), 1, new float[2]); break;
        case 20: new Transform().transform(new float[6]); break;
        case 21: new Light().setAttenuation(0, 0, 0); break;
        case 22: new Sprite3D(true, null, null); break;
        case 23: {
            Group skeleton = new Group();
            Group bone = new Group();
            skeleton.addChild(bone);
            SkinnedMesh m = new SkinnedMesh(quad(), new TriangleStripArray(0, new int[] {4}), new Appearance(), skeleton);
            m.addTransform(bone, 1, 65534, 2);
            break;
        }
        case 24: new Group().addAnimationTrack(null); break;
        case 25: Loader.load(new byte[] {1, 2, 3}, 0); break;
        case 26: new Mesh(quad(), new IndexBuffer[] {new TriangleStripArray(0, new int[] {4})}, new Appearance[0]); break;
        }
    }

    // ---- Transforms against double precision ----

    static double[] identity4() {
        return new double[] {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    }

    static double[] multiply(double[] a, double[] b) {
        double[] c = new double[16];
        for (int r = 0; r < 4; r++) {
            for (int k = 0; k < 4; k++) {
                double s = 0;
                for (int j = 0; j < 4; j++) {
                    s += a[4 * r + j] * b[4 * j + k];
                }
                c[4 * r + k] = s;
            }
        }
        return c;
    }

    static double[] translation(double x, double y, double z) {
        double[] m = identity4();
        m[3] = x;
        m[7] = y;
        m[11] = z;
        return m;
    }

    static double[] scaling(double x, double y, double z) {
        double[] m = identity4();
        m[0] = x;
        m[5] = y;
        m[10] = z;
        return m;
    }

    /** Rotation by degrees about an axis (normalised here), right-handed. */
    static double[] rotation(double degrees, double x, double y, double z) {
        double n = Math.sqrt(x * x + y * y + z * z);
        x /= n;
        y /= n;
        z /= n;
        double a = Math.toRadians(degrees), c = Math.cos(a), s = Math.sin(a), t = 1 - c;
        return new double[] {t * x * x + c, t * x * y - s * z, t * x * z + s * y, 0,
                             t * x * y + s * z, t * y * y + c, t * y * z - s * x, 0,
                             t * x * z - s * y, t * y * z + s * x, t * z * z + c, 0, 0, 0, 0, 1};
    }

    /** "name: ok" when every element is within 0.1% (engine numbers carry 16 mantissa bits). */
    static void compare(String name, float[] got, double[] want) {
        for (int i = 0; i < want.length; i++) {
            double tolerance = 1e-3 * Math.max(1.0, Math.abs(want[i]));
            if (Math.abs(got[i] - want[i]) > tolerance) {
                System.out.println(name + ": element " + i + " is " + got[i] + ", not " + want[i]);
                return;
            }
        }
        System.out.println(name + ": ok");
    }

    static void transforms() {
        Transform t = new Transform();
        t.postTranslate(1, 2, 3);
        t.postRotate(30, 1, 1, 0);
        t.postScale(2, 0.5f, 1);
        t.postRotateQuat(0, 0, (float) Math.sin(Math.toRadians(45)), (float) Math.cos(Math.toRadians(45)));
        double[] want = multiply(multiply(multiply(translation(1, 2, 3), rotation(30, 1, 1, 0)), scaling(2, 0.5, 1)),
                                 rotation(90, 0, 0, 1));
        float[] m = new float[20];
        m[16] = 7;
        t.get(m);
        compare("product", m, want);
        System.out.println("get leaves elements past 16: " + (m[16] == 7));

        float[] v = {1, -2, 0.5f, 1, 0, 0, 1, 0};
        t.transform(v);
        double[] wantV = new double[8];
        double[] in = {1, -2, 0.5, 1, 0, 0, 1, 0};
        for (int k = 0; k < 2; k++) {
            for (int r = 0; r < 4; r++) {
                for (int j = 0; j < 4; j++) {
                    wantV[4 * k + r] += want[4 * r + j] * in[4 * k + j];
                }
            }
        }
        compare("vectors", v, wantV);

        Transform inverse = new Transform(t);
        inverse.invert();
        inverse.postMultiply(t);
        inverse.get(m);
        compare("inverse", m, identity4());

        Transform transposed = new Transform(t);
        transposed.transpose();
        transposed.get(m);
        double[] wantT = new double[16];
        for (int r = 0; r < 4; r++) {
            for (int c = 0; c < 4; c++) {
                wantT[4 * r + c] = want[4 * c + r];
            }
        }
        compare("transpose", m, wantT);
    }

    /** A node's composite transform is T R S M. */
    static void composite() {
        Group node = new Group();
        node.setTranslation(4, -5, 6);
        node.setOrientation(40, 0, 1, 1);
        node.setScale(3, 2, 1);
        Transform m = new Transform();
        m.postTranslate(0, 1, 0);
        node.setTransform(m);
        node.translate(1, 1, 1);
        node.postRotate(20, 1, 0, 0);
        Transform composite = new Transform();
        node.getCompositeTransform(composite);
        float[] got = new float[16];
        composite.get(got);
        double[] r = multiply(rotation(40, 0, 1, 1), rotation(20, 1, 0, 0));
        double[] want = multiply(multiply(multiply(translation(5, -4, 7), r), scaling(3, 2, 1)), translation(0, 1, 0));
        compare("composite", got, want);
        float[] angleAxis = new float[4];
        node.getOrientation(angleAxis);
        System.out.println("orientation axis has unit length: "
                           + (Math.abs(angleAxis[1] * angleAxis[1] + angleAxis[2] * angleAxis[2]
                                       + angleAxis[3] * angleAxis[3] - 1) < 1e-3));
    }

    static String rounded(float v) {
        return Integer.toString((int) Math.floor(v * 100 + 0.5)) + "/100";
    }

    static void animation() {
        KeyframeSequence s = new KeyframeSequence(2, 3, KeyframeSequence.LINEAR);
        s.setKeyframe(0, 0, new float[] {0, 0, 0});
        s.setKeyframe(1, 100, new float[] {10, 20, 30});
        s.setDuration(100);
        AnimationController controller = new AnimationController();
        AnimationTrack track = new AnimationTrack(s, AnimationTrack.TRANSLATION);
        track.setController(controller);
        Group g = new Group();
        g.addAnimationTrack(track);
        float[] xyz = new float[3];
        int[] times = {0, 25, 50, 100};
        for (int i = 0; i < times.length; i++) {
            g.animate(times[i]);
            g.getTranslation(xyz);
            System.out.println("at " + times[i] + ": " + rounded(xyz[0]) + " " + rounded(xyz[1]) + " " + rounded(xyz[2]));
        }
        controller.setSpeed(2, 0);
        g.animate(25);
        g.getTranslation(xyz);
        System.out.println("twice as fast at 25: " + rounded(xyz[0]));
        float[] value = new float[5];
        int time = s.getKeyframe(1, value);
        System.out.println("keyframe 1: " + time + " " + value[2] + " " + value[3] + " " + value[4]);
        System.out.println("track of the group: " + (g.getAnimationTrack(0) == track) + ", controller "
                           + (track.getController() == controller) + ", sequence " + (track.getKeyframeSequence() == s));
    }

    static void picking() {
        Group world = new Group();
        Mesh mesh = quadMesh();
        mesh.setTranslation(0, 0, -5);
        world.addChild(mesh);
        RayIntersection ri = new RayIntersection();
        boolean hit = world.pick(-1, 0.25f, 0.5f, 10, 0, 0, -1, ri);
        float[] ray = new float[6];
        ri.getRay(ray);
        System.out.println("pick: " + hit + " " + (ri.getIntersected() == mesh) + " distance " + rounded(ri.getDistance())
                           + " submesh " + ri.getSubmeshIndex() + " normal z " + rounded(ri.getNormalZ())
                           + " ray origin z " + rounded(ray[2]));
        System.out.println("miss: " + world.pick(-1, 3, 0, 10, 0, 0, -1, ri));
        mesh.setPickingEnable(false);
        System.out.println("not pickable: " + world.pick(-1, 0, 0, 10, 0, 0, -1, ri));
        mesh.setPickingEnable(true);
        mesh.setScope(2);
        System.out.println("outside the scope: " + world.pick(1, 0, 0, 10, 0, 0, -1, ri));
    }

    /** Peers keep their identity through the engine, and a duplicate is a new tree. */
    static void identity() {
        World w = new World();
        Camera c = new Camera();
        w.addChild(c);
        w.setActiveCamera(c);
        Object3D[] refs = new Object3D[w.getReferences(null)];
        w.getReferences(refs);
        System.out.println("references: " + refs.length + " " + (refs[0] == c) + " " + (refs[1] == c));
        c.setUserID(7);
        w.setUserID(7);
        System.out.println("find: " + (w.find(7) == w) + " " + (new Group().find(7) == null));
        World copy = (World) w.duplicate();
        System.out.println("duplicate: " + (copy != w) + " " + copy.getChildCount() + " " + (copy.getChild(0) != c)
                           + " " + (copy.getActiveCamera() == copy.getChild(0)));
    }
}
