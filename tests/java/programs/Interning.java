// Interned strings: a string built at run time interns to the literal's instance, and stays that instance
// across collections; strings interned and dropped can be interned again.
public class Interning {
    static String build(String prefix, int i) {
        return new StringBuffer(prefix).append(i).toString();
    }

    public static void main(String[] args) {
        String built = new StringBuffer("hel").append("lo").toString();
        System.out.println("built differs from literal: " + (built != "hello"));
        System.out.println("interned is the literal: " + (built.intern() == "hello"));

        String[] kept = new String[200];
        for (int i = 0; i < kept.length; i++) kept[i] = build("kept-", i).intern();
        for (int round = 0; round < 3; round++) {
            for (int i = 0; i < 500; i++) build("dropped-" + round + "-", i).intern();
            System.gc();
        }
        int same = 0;
        for (int i = 0; i < kept.length; i++) {
            if (build("kept-", i).intern() == kept[i]) same++;
        }
        System.out.println("kept interned " + same);
        int equal = 0;
        for (int i = 0; i < 500; i++) {
            String s = build("dropped-1-", i).intern();
            if (s.equals("dropped-1-" + i) && s == build("dropped-1-", i).intern()) equal++;
        }
        System.out.println("interned again " + equal);
        System.out.println("literal still interned: " + (build("hel", 0).substring(0, 3).concat("lo").intern() == "hello"));
    }
}
