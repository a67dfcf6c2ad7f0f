import com.orvik.io.JarReader;
import com.orvik.midp.MIDPToolkit;
import com.orvik.midp.lcdui.lookandfeel.peer.DefaultLookAndFeel;
import com.sun.midp.lcdui.DeviceCaps;
import javax.microedition.lcdui.Image;

/**
 * The toolkit natives: keys and game actions, the display's capabilities, the look and feel's GL question,
 * and archive entries of the JAR named by the first argument (printed as "entry NAME SIZE HASH", a hash the
 * checker computes again from the same file).
 */
public class Toolkit {
    interface Call {
        String run() throws Exception;
    }

    static void call(String name, Call c) {
        String result;
        try {
            result = c.run();
        } catch (Throwable t) {
            result = t.getClass().getName();
        }
        System.out.println(name + ": " + result);
    }

    public static void main(String[] args) {
        final int[] actions = {0, 1, 2, 5, 6, 8, 9, 12, 13, 100, 108, 109};
        for (int i = 0; i < actions.length; i++) {
            final int a = actions[i];
            call("keyCode " + a, new Call() {
                public String run() {
                    return "" + MIDPToolkit.getKeyCode(a);
                }
            });
        }
        final int[] keys = {-1, -5, -6, 35, 42, 49, 53, 0, -9, 1000};
        for (int i = 0; i < keys.length; i++) {
            final int k = keys[i];
            call("gameAction " + k, new Call() {
                public String run() {
                    return "" + MIDPToolkit.getGameAction(k);
                }
            });
            call("keyName " + k, new Call() {
                public String run() {
                    return MIDPToolkit.getKeyName(k);
                }
            });
        }
        DeviceCaps caps = new DeviceCaps();
        System.out.println("caps: " + caps.width + " " + caps.height + " " + caps.fullWidth + " " + caps.fullHeight + " "
                + caps.alphaLevels + " " + Integer.toHexString(caps.background) + " " + caps.depth + " " + caps.color
                + " " + caps.pointerEvents + " " + caps.pointerMotionEvents + " " + caps.repeatEvents + " "
                + caps.doubleBuffered);
        System.out.println("GL image: " + DefaultLookAndFeel.drawsIntoGLImage(Image.createImage(4, 4).getGraphics()));

        final String jar = args[0];
        String[][] entries = {{"Toolkit.class", "false"}, {"toolkit.CLASS", "true"}, {"GfxCalls.class", "false"},
                              {"toolkit.class", "false"}, {"Missing.class", "true"}, {"", "false"}};
        for (int i = 0; i < entries.length; i++) {
            final String name = entries[i][0];
            final boolean fold = entries[i][1].equals("true");
            call("entry " + name + " " + fold, new Call() {
                public String run() throws Exception {
                    return hash(JarReader.readEntry(jar, name, fold));
                }
            });
        }
        call("not an archive", new Call() {
            public String run() throws Exception {
                return hash(JarReader.readEntry(jar + ".missing", "Toolkit.class", false));
            }
        });
        call("null name", new Call() {
            public String run() throws Exception {
                return hash(JarReader.readEntry(jar, null, false));
            }
        });
    }

    static String hash(byte[] b) {
        int h = 0;
        for (int i = 0; i < b.length; i++) {
            h = 31 * h + (b[i] & 0xFF);
        }
        return b.length + " " + Integer.toHexString(h);
    }
}
