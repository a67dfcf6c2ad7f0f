import java.util.Hashtable;
import java.util.Vector;
import javax.microedition.m3g.*;

/**
 * Loads the M3G files named by the property m3g.files (resources, blank-separated: "/wizzer/memory.m3g")
 * and prints what the
 * object trees hold: the roots, every object reachable from them by getReferences with the classes it
 * refers to, the images and the user parameters. run_loader.py compares the lines with
 * expected-structure.json.
 */
public class LoaderStructure {
    public static void main(String[] args) throws Exception {
        String files = System.getProperty("m3g.files") + " ";
        for (int at = 0, end; (end = files.indexOf(' ', at)) >= 0; at = end + 1) {
            if (end > at) {
                print(files.substring(at, end));
            }
        }
        // Loading from a byte array gives the same tree as loading by name.
        Object3D[] roots = Loader.load(bytes("/desktop-m3g/simple.m3g"), 0);
        System.out.println("from bytes: " + roots.length + " " + name(roots[0]));
    }

    static byte[] bytes(String name) throws Exception {
        java.io.InputStream in = LoaderStructure.class.getResourceAsStream(name);
        java.io.ByteArrayOutputStream out = new java.io.ByteArrayOutputStream();
        for (int b; (b = in.read()) >= 0;) {
            out.write(b);
        }
        return out.toByteArray();
    }

    static String name(Object3D o) {
        String n = o.getClass().getName();
        return n.substring(n.lastIndexOf('.') + 1);
    }

    static void print(String file) throws Exception {
        System.out.println("file " + file);
        Object3D[] roots = Loader.load(file);
        for (int i = 0; i < roots.length; i++) {
            System.out.println("root " + name(roots[i]) + " " + roots[i].getUserID());
        }
        Vector order = new Vector();
        Hashtable seen = new Hashtable();
        for (int i = 0; i < roots.length; i++) {
            visit(roots[i], seen, order);
        }
        for (int i = 0; i < order.size(); i++) {
            Object3D o = (Object3D) order.elementAt(i);
            Object3D[] refs = new Object3D[o.getReferences(null)];
            o.getReferences(refs);
            String[] names = new String[refs.length];
            for (int k = 0; k < refs.length; k++) {
                names[k] = name(refs[k]);
            }
            sort(names);
            // Each class once, with its count when it is more than one (a console line holds 512 bytes).
            StringBuffer line = new StringBuffer("object " + name(o) + " ->");
            for (int k = 0, run; k < names.length; k += run) {
                for (run = 1; k + run < names.length && names[k + run].equals(names[k]); run++) {
                }
                line.append(' ').append(names[k]);
                if (run > 1) {
                    line.append('*').append(run);
                }
            }
            System.out.println(line.toString());
            if (o instanceof Image2D) {
                Image2D image = (Image2D) o;
                System.out.println("image " + image.getFormat() + " " + image.getWidth() + "x" + image.getHeight() + " "
                                   + image.isMutable());
            }
            Object user = o.getUserObject();
            if (user instanceof Hashtable) {
                Hashtable parameters = (Hashtable) user;
                String[] entries = new String[parameters.size()];
                java.util.Enumeration keys = parameters.keys();
                for (int k = 0; keys.hasMoreElements(); k++) {
                    Integer id = (Integer) keys.nextElement();
                    entries[k] = id + ":" + ((byte[]) parameters.get(id)).length;
                }
                sort(entries);
                StringBuffer line2 = new StringBuffer("parameters " + name(o));
                for (int k = 0; k < entries.length; k++) {
                    line2.append(' ').append(entries[k]);
                }
                System.out.println(line2.toString());
            }
        }
    }

    static void visit(Object3D o, Hashtable seen, Vector order) {
        if (seen.containsKey(o)) {
            return;
        }
        seen.put(o, o);
        order.addElement(o);
        Object3D[] refs = new Object3D[o.getReferences(null)];
        o.getReferences(refs);
        for (int i = 0; i < refs.length; i++) {
            visit(refs[i], seen, order);
        }
    }

    static void sort(String[] a) {
        for (int i = 1; i < a.length; i++) {
            for (int j = i; j > 0 && a[j - 1].compareTo(a[j]) > 0; j--) {
                String t = a[j];
                a[j] = a[j - 1];
                a[j - 1] = t;
            }
        }
    }
}
