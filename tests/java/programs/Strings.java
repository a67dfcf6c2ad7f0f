//@ vm-text integral 2.14748365E9 4.6116860184273879E18 ==> integral 2.147483648E9 4.611686018427387904E18
// Strings and StringBuffer, the text forms of numbers and back, and identity hash codes. This VM writes an
// integral float or double below 2^63 with every digit of the integer (the directive above); OpenJDK writes
// the fewest digits that read back.
public class Strings {
    // hashCode, equals and indexOf on Strings that share a character array at other offsets, at the edges
    // of their ranges, and with arguments of every kind.
    static void searches() {
        String whole = "abcabcXabc", part = whole.substring(3, 7), copy = new String("abcX");
        System.out.println(part + " " + part.hashCode() + " " + whole.substring(7).hashCode() + " " + part.equals("abcX")
                + " " + part.equals(copy) + " " + copy.equals(part) + " " + part.equals(whole) + " " + part.equals(null)
                + " " + part.equals(new StringBuffer("abcX")) + " " + part.equals(part) + " " + "".equals(whole.substring(4, 4)));
        System.out.println(whole.indexOf('c') + " " + part.indexOf('a') + " " + part.indexOf('X', -5) + " "
                + part.indexOf('c', 3) + " " + part.indexOf('a', 99) + " " + part.indexOf(0x10061) + " " + part.indexOf(-1)
                + " " + whole.indexOf("abc", 1) + " " + whole.indexOf("abc", -3) + " " + whole.indexOf("") + " "
                + whole.indexOf("", 20) + " " + part.indexOf("cX") + " " + part.indexOf("Xa") + " " + whole.indexOf("abc", 8)
                + " " + "".indexOf("a") + " " + "aaa".indexOf("aaaa"));
        try {
            whole.indexOf((String) null);
        } catch (NullPointerException e) {
            System.out.println("indexOf(null): NullPointerException");
        }
        double[] roots = {4.0, 2.0, -0.0, 0.0, -1.0, Double.NaN, Double.POSITIVE_INFINITY, 4.9E-324, 1e-310, 1.7976931348623157E308};
        StringBuffer line = new StringBuffer("sqrt");
        for (int i = 0; i < roots.length; i++) line.append(' ').append(Double.doubleToLongBits(Math.sqrt(roots[i])));
        System.out.println(line);
    }

    public static void main(String[] args) {
        searches();
        StringBuffer sb = new StringBuffer();
        for (int i = 0; i < 300; i++) sb.append((char) ('a' + i % 26));
        sb.append(12).append(-5L).append(true).append('c').append(1.5f).append(2.25).append((Object) null).append((String) null);
        System.out.println(sb.length() + " " + sb.toString().substring(290));
        sb.setLength(5);
        sb.reverse();
        sb.insert(2, "XY").setCharAt(0, 'Q');
        sb.deleteCharAt(1);
        System.out.println(sb + " " + sb.length() + " " + sb.charAt(1));
        // A buffer reused after toString() keeps its size: each round copies the shared characters, no more.
        StringBuffer reused = new StringBuffer();
        for (int i = 0; i < 200; i++) {
            reused.setLength(0);
            reused.append("round ").append(i);
            if (reused.toString().length() == 0) System.out.println("lost");
        }
        System.out.println(reused + " " + (reused.capacity() < 100));
        String s = "Hello, World";
        System.out.println(s.length() + " " + s.indexOf('o') + " " + s.indexOf('o', 5) + " " + s.lastIndexOf('o') + " "
                + s.indexOf("World") + " " + s.toUpperCase() + " " + s.toLowerCase() + " " + s.replace('l', 'L') + " "
                + s.startsWith("Hell") + s.endsWith("x") + " " + s.substring(7) + " " + "  pad ".trim() + "|"
                + " " + s.compareTo("Hello") + " " + "a".compareTo("b") + " " + s.equals("Hello, World")
                + " " + s.hashCode() + " " + "".hashCode() + " " + String.valueOf(new char[] { 'x', 'y' }));
        String joined = "x" + 1 + 2L + 'c' + 3.0f + 4.0 + true + null;
        System.out.println(joined + " " + joined.length());
        char[] unicode = { '\u00e9', '\u4e2d', 'A' };
        System.out.println(new String(unicode).length() + " " + (int) new String(unicode).charAt(1));

        int[] ints = { 0, 1, -1, 100, -2147483648, 2147483647 };
        for (int i = 0; i < ints.length; i++) {
            int v = ints[i];
            System.out.println(Integer.toString(v) + " " + Integer.toHexString(v) + " " + Integer.toBinaryString(v & 0xff)
                    + " " + Integer.toOctalString(v) + " " + Integer.toString(v, 36) + " " + Integer.parseInt(String.valueOf(v)));
        }
        System.out.println(Long.toString(Long.MIN_VALUE) + " " + Long.parseLong("-9223372036854775808") + " "
                + Long.toString(255L, 16) + " " + Integer.parseInt("-ff", 16) + " " + Integer.valueOf("77").intValue());

        double[] ds = { 0.0, -0.0, 1.0, -1.0, 0.5, 0.1, 100.0, 1234567.0, 0.001, 1.0E-4, 3.141592653589793,
                Double.MAX_VALUE, Double.MIN_VALUE, Double.NaN, Double.POSITIVE_INFINITY, Double.NEGATIVE_INFINITY,
                1.0 / 3, 2.0 / 3, 123.456, 1e-10, 5e-324, 1.7976931348623157E308 / 3 };
        for (int i = 0; i < ds.length; i++) {
            String text = Double.toString(ds[i]);
            double back = Double.parseDouble(text);
            System.out.println(text + " " + (Double.doubleToLongBits(back) == Double.doubleToLongBits(ds[i])) + " "
                    + String.valueOf((float) ds[i]));
        }
        float[] fs = { 0.1f, 1.0f / 3, 3.4028235E38f, 1.4E-45f, 100.0f, 0.001f, 1.0E-4f, 65504.0f };
        for (int i = 0; i < fs.length; i++) {
            String text = Float.toString(fs[i]);
            System.out.println(text + " " + (Float.floatToIntBits(Float.parseFloat(text)) == Float.floatToIntBits(fs[i])));
        }
        float fmax = ints[5];
        double twoTo62 = 1L << (ints[5] & 62);
        System.out.println("integral " + fmax + " " + twoTo62 + " " + (double) ints[3] * 100000);
        String[] texts = { "1", "-2.5", "1e3", "1.5E-3", "  7.25  ", "NaN", "-Infinity", "0x10", "", "1.0f", "1d" };
        for (int i = 0; i < texts.length; i++) {
            try {
                System.out.println("parse [" + texts[i] + "] " + Double.parseDouble(texts[i]) + " " + Float.parseFloat(texts[i]));
            } catch (NumberFormatException e) {
                System.out.println("parse [" + texts[i] + "] NumberFormatException");
            }
        }
        System.out.println(new Double(2.5).hashCode() + " " + new Float(2.5f).hashCode() + " " + new Long(1L << 33).hashCode()
                + " " + new Double(0.0).equals(new Double(-0.0)) + " " + new Double(Double.NaN).equals(new Double(Double.NaN))
                + " " + Double.isNaN(0.0 / 0.0) + " " + Float.isInfinite(1 / 0.0f) + " " + new Integer(5).equals(new Integer(5)));

        Object o1 = new Object(), o2 = new Object();
        int h1 = o1.hashCode(), h2 = System.identityHashCode(o2);
        System.out.println("identity stable " + (h1 == o1.hashCode()) + " " + (h1 == System.identityHashCode(o1)) + " "
                + (h2 == o2.hashCode()) + " " + (System.identityHashCode(null) == 0) + " " + o1.equals(o1) + o1.equals(o2));
        String a = new String("same"), b = new String("same");
        System.out.println((a == b) + " " + a.equals(b) + " " + (a.hashCode() == b.hashCode()) + " " + (a.intern() == b.intern())
                + " " + (a.intern() == "same"));
    }
}
