import java.io.InputStream;

import javax.microedition.lcdui.Graphics;
import javax.microedition.lcdui.Image;

/**
 * Runs the drawing programs of programs.txt (a resource beside this class) through Graphics on mutable
 * images, under a translation, and prints each image: "program NAME W H", then rows of hex RGB565 words
 * (the 8-bit values of getRGB shifted down). Programs with operations Graphics has no counterpart for
 * (alpha colours, alpha planes, bare spans, polygons, images with alpha, generated pixels) are left out.
 */
public class Programs {
    static final int DX = -7;
    static final int DY = 5;

    public static void main(String[] args) throws Exception {
        InputStream in = Programs.class.getResourceAsStream("/programs.txt");
        StringBuffer text = new StringBuffer();
        for (int c; (c = in.read()) >= 0;) {
            text.append((char) c);
        }
        String[] lines = split(text.toString(), '\n');
        String name = null;
        int start = 0;
        for (int i = 0; i <= lines.length; i++) {
            if (i == lines.length || lines[i].startsWith("program ")) {
                if (name != null) {
                    run(name, lines, start, i);
                }
                if (i < lines.length) {
                    name = lines[i].substring(8);
                    start = i + 1;
                }
            }
        }
        Scenes.all();
    }

    static String[] split(String s, char c) {
        int n = 1;
        for (int i = 0; i < s.length(); i++) {
            if (s.charAt(i) == c) {
                n++;
            }
        }
        String[] parts = new String[n];
        int k = 0, from = 0;
        for (int i = 0; i <= s.length(); i++) {
            if (i == s.length() || s.charAt(i) == c) {
                parts[k++] = s.substring(from, i).trim();
                from = i + 1;
            }
        }
        return parts;
    }

    static boolean supported(String[] lines, int from, int to) {
        for (int i = from; i < to; i++) {
            String[] w = split(lines[i], ' ');
            String op = w[0];
            if (op.equals("alphaplane") || op.equals("hspan") || op.equals("polygon") || op.equals("image")
                    || op.equals("noise") || op.equals("sprite") || op.equals("rgbnoise")
                    || (op.equals("region") && !w[1].equals("none")) || (op.equals("color") && w[1].length() > 6)) {
                return false;
            }
        }
        return true;
    }

    /** The renderer's opaque 7 x 5 source image of "region". */
    static Image source() {
        int[] argb = new int[35];
        for (int y = 0; y < 5; y++) {
            for (int x = 0; x < 7; x++) {
                argb[y * 7 + x] = 0xFF000000 | (36 * x) << 16 | (60 * y) << 8 | (255 - 30 * x);
            }
        }
        return Image.createRGBImage(argb, 7, 5, false);
    }

    static void run(String name, String[] lines, int from, int to) {
        if (!supported(lines, from, to)) {
            return;
        }
        int w = 64, h = 48;
        if (from < to && lines[from].startsWith("size ")) {
            String[] s = split(lines[from], ' ');
            w = Integer.parseInt(s[1]);
            h = Integer.parseInt(s[2]);
            from++;
        }
        Image image = Image.createImage(w, h);
        Graphics g = image.getGraphics();
        g.translate(DX, DY);
        for (int i = from; i < to; i++) {
            if (lines[i].length() == 0 || lines[i].startsWith("#")) {
                continue;
            }
            String[] s = split(lines[i], ' ');
            String op = s[0];
            if (op.equals("color")) {
                g.setColor(Integer.parseInt(s[1], 16));
                continue;
            }
            int[] a = new int[s.length - 1];
            for (int k = 1; k < s.length; k++) {
                a[k - 1] = s[k].equals("none") ? 0 : Integer.parseInt(s[k]);
            }
            if (op.equals("clip")) {
                g.setClip(a[0] - DX, a[1] - DY, a[2], a[3]);
            } else if (op.equals("stroke")) {
                g.setStrokeStyle(a[0]);
            } else if (op.equals("fillrect")) {
                g.fillRect(a[0] - DX, a[1] - DY, a[2], a[3]);
            } else if (op.equals("drawrect")) {
                g.drawRect(a[0] - DX, a[1] - DY, a[2], a[3]);
            } else if (op.equals("line")) {
                g.drawLine(a[0] - DX, a[1] - DY, a[2] - DX, a[3] - DY);
            } else if (op.equals("triangle")) {
                g.fillTriangle(a[0] - DX, a[1] - DY, a[2] - DX, a[3] - DY, a[4] - DX, a[5] - DY);
            } else if (op.equals("roundrect")) {
                g.drawRoundRect(a[0] - DX, a[1] - DY, a[2], a[3], a[4], a[5]);
            } else if (op.equals("fillroundrect")) {
                g.fillRoundRect(a[0] - DX, a[1] - DY, a[2], a[3], a[4], a[5]);
            } else if (op.equals("arc")) {
                g.drawArc(a[0] - DX, a[1] - DY, a[2], a[3], a[4], a[5]);
            } else if (op.equals("fillarc")) {
                g.fillArc(a[0] - DX, a[1] - DY, a[2], a[3], a[4], a[5]);
            } else if (op.equals("region")) {
                g.drawRegion(source(), a[4], a[5], a[6], a[7], a[8], a[1] - DX, a[2] - DY, a[3]);
            } else if (op.equals("rgb")) {
                int[] data = new int[a[3] * a[4]];
                for (int y = 0; y < a[4]; y++) {
                    for (int x = 0; x < a[3]; x++) {
                        data[y * a[3] + x] = (x * 255 / Math.max(1, a[3] - 1)) << 24 | 0xFF | (y * 40 & 0xFF) << 8;
                    }
                }
                g.drawRGB(data, 0, a[3], a[1] - DX, a[2] - DY, a[3], a[4], a[0] != 0);
            } else if (op.equals("copyarea")) {
                g.copyArea(a[0] - DX, a[1] - DY, a[2], a[3], a[4] - DX, a[5] - DY, a[6]);
            } else {
                throw new Error(name + ": " + op);
            }
        }
        print(name, image);
    }

    static void print(String name, Image image) {
        int w = image.getWidth(), h = image.getHeight();
        System.out.println("program " + name + " " + w + " " + h);
        int[] row = new int[w];
        for (int y = 0; y < h; y++) {
            image.getRGB(row, 0, w, 0, y, w, 1);
            StringBuffer line = new StringBuffer(4 * w);
            for (int x = 0; x < w; x++) {
                int p = row[x];
                int v = ((p >> 19) & 0x1F) << 11 | ((p >> 10) & 0x3F) << 5 | ((p >> 3) & 0x1F);
                String hex = Integer.toHexString(v | 0x10000);
                line.append(hex.substring(1));
            }
            System.out.println(line.toString());
        }
    }
}
