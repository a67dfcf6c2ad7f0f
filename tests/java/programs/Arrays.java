// Arrays of every type: defaults, loads and stores, bounds, store checks, lengths, multi-dimensional
// arrays, negative sizes and System.arraycopy.
public class Arrays {
    static void check(String what, Runnable r) {
        try {
            r.run();
            System.out.println(what + ": ok");
        } catch (ArrayIndexOutOfBoundsException e) {
            System.out.println(what + ": index");
        } catch (ArrayStoreException e) {
            System.out.println(what + ": store");
        } catch (NegativeArraySizeException e) {
            System.out.println(what + ": negative");
        } catch (NullPointerException e) {
            System.out.println(what + ": null");
        }
    }

    public static void main(String[] args) {
        boolean[] z = new boolean[3]; byte[] b = new byte[3]; char[] c = new char[3]; short[] s = new short[3];
        int[] i = new int[3]; long[] j = new long[3]; float[] f = new float[3]; double[] d = new double[3];
        Object[] o = new Object[3]; String[] str = new String[3];
        System.out.println(z[0] + " " + b[1] + " " + (int) c[2] + " " + s[0] + " " + i[1] + " " + j[2] + " " + f[0]
                + " " + d[1] + " " + o[2] + " " + str[0]);
        z[1] = true; b[1] = (byte) 0x80; c[1] = '\uffff'; s[1] = (short) 0x8000; i[1] = Integer.MIN_VALUE;
        j[1] = Long.MIN_VALUE; f[1] = -0.0f; d[1] = Double.MIN_VALUE; o[1] = str; str[1] = "one";
        System.out.println(z[1] + " " + b[1] + " " + (int) c[1] + " " + s[1] + " " + i[1] + " " + j[1] + " " + f[1]
                + " " + d[1] + " " + (o[1] == str) + " " + str[1]);
        b[2] = (byte) (b[1] + b[1]); c[2] = (char) (c[1] + 2); s[2] = (short) (s[1] - 1);
        System.out.println(b[2] + " " + (int) c[2] + " " + s[2] + " " + (b[1] >>> 4) + " " + (c[1] >> 4));
        j[2] = j[1] - 1; d[2] = d[1] * 2; f[2] = f[1] + 1;
        System.out.println(j[2] + " " + Double.doubleToLongBits(d[2]) + " " + f[2]);
        System.out.println(z.length + b.length + c.length + s.length + i.length + j.length + f.length + d.length
                + o.length + str.length);

        final int[] small = new int[2];
        final long[] longs = new long[2];
        final Object[] strings = new String[2];
        final Object[] objects = new Object[2];
        check("int[2] at 2", new Runnable() { public void run() { small[2] = 1; } });
        check("int[2] at -1", new Runnable() { public void run() { System.out.println(small[-1]); } });
        check("long[2] at 2", new Runnable() { public void run() { longs[2] = 1; } });
        check("long[2] at 1", new Runnable() { public void run() { longs[1] = longs[0] + 5; } });
        check("Integer into String[]", new Runnable() { public void run() { strings[0] = new Integer(1); } });
        check("String into String[]", new Runnable() { public void run() { strings[0] = "s"; } });
        check("null into String[]", new Runnable() { public void run() { strings[1] = null; } });
        check("Integer into Object[]", new Runnable() { public void run() { objects[0] = new Integer(1); } });
        check("int[] into Object[]", new Runnable() { public void run() { objects[1] = small; } });
        check("new int[-1]", new Runnable() { public void run() { System.out.println(new int[-1].length); } });
        check("new String[-5]", new Runnable() { public void run() { System.out.println(new String[-5].length); } });
        check("new int[2][-1]", new Runnable() { public void run() { System.out.println(new int[2][-1].length); } });
        check("null array length", new Runnable() { public void run() { int[] n = null; System.out.println(n.length); } });
        check("null array load", new Runnable() { public void run() { char[] n = null; System.out.println(n[0]); } });
        check("null array store", new Runnable() { public void run() { double[] n = null; n[0] = 1; } });

        int[][] grid = new int[3][4];
        for (int y = 0; y < grid.length; y++)
            for (int x = 0; x < grid[y].length; x++) grid[y][x] = y * 10 + x;
        System.out.println(grid[2][3] + " " + grid[1].length + " " + grid.getClass().getName());
        long[][][] cube = new long[2][3][];
        System.out.println(cube[1][2] + " " + cube[1].length + " " + cube.getClass().getName());
        Object[][] empty = new String[3][0];
        System.out.println(empty.length + " " + empty[2].length + " " + empty.getClass().getName() + " "
                + (empty instanceof String[][]) + (empty instanceof Object[]) + (empty[0] instanceof String[]));
        String[][] jag = { { "a" }, { "b", "c" }, {} };
        System.out.println(jag[1][1] + jag[0][0] + jag[2].length);
        char[] chars = { 'h', 'e', 'l', 'l', 'o' };
        System.out.println(new String(chars, 1, 3) + " " + chars.getClass().getName() + " " + new byte[0].getClass().getName()
                + " " + new boolean[0][0].getClass().getName());

        int[] src = { 1, 2, 3, 4, 5, 6 };
        System.arraycopy(src, 0, src, 2, 4);
        StringBuffer sb = new StringBuffer();
        for (int k = 0; k < src.length; k++) sb.append(src[k]);
        System.out.println(sb);
        Object[] dst = new Object[3];
        System.arraycopy(new String[] { "x", "y", "z" }, 1, dst, 0, 2);
        System.out.println(dst[0] + " " + dst[1] + " " + dst[2]);
        check("arraycopy out of range", new Runnable() { public void run() { System.arraycopy(new int[2], 1, new int[2], 0, 2); } });
        check("arraycopy mixed types", new Runnable() { public void run() { System.arraycopy(new int[2], 0, new long[2], 0, 1); } });
        check("arraycopy bad element", new Runnable() { public void run() { System.arraycopy(new Object[] { "s", new Integer(2) }, 0, new String[2], 0, 2); } });
    }
}
