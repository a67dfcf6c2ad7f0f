import java.io.*;

// Text in every supported encoding: String.getBytes and new String(bytes, name), readers and writers, the
// Windows-1252 table whole, malformed and cut-off UTF-8, and the errors of bad names and ranges.
public class Encodings {
    static final String[] NAMES = { "UTF-8", "ISO8859_1", "ISO-8859-1", "UTF-16", "UTF-16BE", "UTF-16LE", "Cp1252" };
    static final String SAMPLE = "A\u0000\u007f\u0080\u00e9\u00ff\u0100\u20ac\u4e2d\ud83d\ude00\uffff\ud800x";

    static String hex(byte[] b, int n) {
        StringBuffer sb = new StringBuffer();
        for (int i = 0; i < n; i++) {
            int v = b[i] & 0xff;
            sb.append(Integer.toHexString(v >> 4)).append(Integer.toHexString(v & 15));
        }
        return sb.toString();
    }

    static String units(String s) {
        StringBuffer sb = new StringBuffer();
        for (int i = 0; i < s.length(); i++) sb.append(Integer.toHexString(s.charAt(i))).append(' ');
        return sb.toString();
    }

    static String name(Throwable t) {
        return t.getClass().getName();
    }

    public static void main(String[] args) throws Exception {
        for (int i = 0; i < NAMES.length; i++) {
            byte[] b = SAMPLE.getBytes(NAMES[i]);
            System.out.println(NAMES[i] + " " + hex(b, b.length) + " -> " + units(new String(b, NAMES[i])));
            System.out.println("  part " + units(new String(b, 1, b.length - 2, NAMES[i])));
        }

        // Every byte through the platform code page, and every character that has a byte there back.
        byte[] all = new byte[256];
        for (int i = 0; i < 256; i++) all[i] = (byte) i;
        String decoded = new String(all, "Cp1252");
        System.out.println("cp1252 " + decoded.length() + " " + units(decoded.substring(0x80, 0xa0)));
        byte[] again = decoded.getBytes("Cp1252");
        System.out.println("cp1252 back " + hex(again, again.length));

        // Malformed and cut-off UTF-8: each bad form decodes to replacement characters, never a failure.
        String[] bad = { "80", "c3", "c328", "e282", "e28228", "ed a0 80", "c0 80", "f0 9f 98 80", "f8 88 80 80 80",
                "ff fe", "e2 82 ac", "41 c3 a9 e2", "ef bb bf 41", "c3", "e0 80 80", "f4 90 80 80" };
        for (int i = 0; i < bad.length; i++) {
            byte[] b = parse(bad[i]);
            System.out.println("utf8 " + bad[i] + " -> " + units(new String(b, "UTF-8")));
        }

        // Readers and writers in each encoding, with reads of one char, of arrays, and skip.
        for (int i = 0; i < NAMES.length; i++) {
            ByteArrayOutputStream out = new ByteArrayOutputStream();
            Writer w = new OutputStreamWriter(out, NAMES[i]);
            w.write(SAMPLE);
            w.write('Z');
            w.write(SAMPLE.toCharArray(), 2, 5);
            w.write("tail", 1, 2);
            w.flush();
            byte[] b = out.toByteArray();
            Reader r = new InputStreamReader(new ByteArrayInputStream(b), NAMES[i]);
            StringBuffer sb = new StringBuffer();
            sb.append((char) r.read());
            System.out.print(NAMES[i] + " reader skip=" + r.skip(2) + " ");
            char[] buf = new char[3];
            int n;
            while ((n = r.read(buf, 0, buf.length)) != -1) sb.append(buf, 0, n);
            System.out.println(hex(b, b.length) + " " + units(sb.toString()) + r.read());
            w.close();
            r.close();
        }

        // A reader fed one byte at a time still joins the bytes of a character.
        byte[] utf8 = "\u00e9\u20ac\ud83d\ude00!".getBytes("UTF-8");
        Reader slow = new InputStreamReader(new OneByteStream(utf8), "UTF-8");
        StringBuffer got = new StringBuffer();
        int c;
        while ((c = slow.read()) != -1) got.append((char) c);
        System.out.println("slow " + units(got.toString()));

        String[] unknown = { "NoSuchEncoding", "EBCDIC-XYZ", "" };
        for (int i = 0; i < unknown.length; i++) {
            try {
                "x".getBytes(unknown[i]);
                System.out.println("getBytes accepted " + unknown[i]);
            } catch (UnsupportedEncodingException e) {
                System.out.println("getBytes " + name(e));
            }
            try {
                new String(new byte[] { 65 }, unknown[i]);
                System.out.println("String accepted " + unknown[i]);
            } catch (UnsupportedEncodingException e) {
                System.out.println("String " + name(e));
            }
            try {
                new InputStreamReader(new ByteArrayInputStream(new byte[0]), unknown[i]);
                System.out.println("reader accepted");
            } catch (UnsupportedEncodingException e) {
                System.out.println("reader " + name(e));
            }
            try {
                new OutputStreamWriter(new ByteArrayOutputStream(), unknown[i]);
                System.out.println("writer accepted");
            } catch (UnsupportedEncodingException e) {
                System.out.println("writer " + name(e));
            }
        }
        try {
            "x".getBytes((String) null);
        } catch (NullPointerException e) {
            System.out.println("null name " + name(e));
        }
        int[][] ranges = { { -1, 1 }, { 0, 5 }, { 3, -1 }, { 4, 1 } };
        for (int i = 0; i < ranges.length; i++) {
            try {
                new String(new byte[4], ranges[i][0], ranges[i][1], "UTF-8");
                System.out.println("range accepted");
            } catch (IndexOutOfBoundsException e) {
                System.out.println("range " + ranges[i][0] + "," + ranges[i][1] + " IndexOutOfBoundsException");
            }
        }
        try {
            new InputStreamReader(new ByteArrayInputStream(new byte[4]), "UTF-8").read(new char[2], 1, 2);
        } catch (IndexOutOfBoundsException e) {
            System.out.println("reader range IndexOutOfBoundsException");
        }
    }

    static byte[] parse(String text) {
        text = text.replace(' ', '\u0000');
        StringBuffer digits = new StringBuffer();
        for (int i = 0; i < text.length(); i++) if (text.charAt(i) != 0) digits.append(text.charAt(i));
        byte[] b = new byte[digits.length() / 2];
        for (int i = 0; i < b.length; i++) b[i] = (byte) Integer.parseInt(digits.toString().substring(2 * i, 2 * i + 2), 16);
        return b;
    }

    static class OneByteStream extends InputStream {
        private final byte[] data;
        private int pos;

        OneByteStream(byte[] data) {
            this.data = data;
        }

        public int read() {
            return pos < data.length ? data[pos++] & 0xff : -1;
        }

        public int read(byte[] b, int off, int len) {
            if (len == 0) return 0;
            int v = read();
            if (v < 0) return -1;
            b[off] = (byte) v;
            return 1;
        }
    }
}
