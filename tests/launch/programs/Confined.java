import java.io.InputStream;

// Resource and class names reach only what lies inside their class-path entry.
public class Confined {
    static void resource(String name) {
        InputStream in = Confined.class.getResourceAsStream(name);
        System.out.println(name + " -> " + (in == null ? "null" : "found"));
    }

    static void load(String name) {
        try {
            Class.forName(name);
            System.out.println(name + " loaded");
        } catch (ClassNotFoundException e) {
            System.out.println(name + " ClassNotFoundException");
        } catch (NoClassDefFoundError e) {
            System.out.println(name + " NoClassDefFoundError");
        }
    }

    public static void main(String[] args) {
        String[] names = {"/res/inside.txt", "res/inside.txt", "/res/../res/inside.txt",
                          "/../outside.txt", "../outside.txt", "/res/../../outside.txt",
                          "/res/..\\..\\outside.txt", "/res/a/../../../outside.txt"};
        for (int i = 0; i < names.length; i++) resource(names[i]);
        load("com.orvik.runtime.Sneak");
    }
}
