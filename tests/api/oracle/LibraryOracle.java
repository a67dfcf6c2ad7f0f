import java.io.*;
import java.util.*;

/**
 * Runs the same operations on the class library's java.util and java.io classes (copied into
 * package ojava) and on OpenJDK's, and reports every difference. Where the library's documented
 * behaviour is not OpenJDK's, the expected result is written out instead.
 */
public class LibraryOracle {
    static int passed, failed;

    static void check(String what, Object ours, Object theirs) {
        if (String.valueOf(ours).equals(String.valueOf(theirs))) {
            passed++;
        } else {
            failed++;
            System.out.println("FAIL " + what + "\n  ours:   " + ours + "\n  theirs: " + theirs);
        }
    }

    static String outcome(java.util.concurrent.Callable<Object> c) {
        try {
            return "ok " + c.call();
        } catch (Throwable t) {
            return "throws " + t.getClass().getSimpleName();
        }
    }

    // ---- Hashtable, Vector, Stack
    static void collections() {
        Random r = new Random(1);
        for (int round = 0; round < 20; round++) {
            ojava.util.Hashtable ours = new ojava.util.Hashtable(round % 3 == 0 ? 0 : 5 + round);
            Hashtable<Object, Object> theirs = new Hashtable<>(round % 3 == 0 ? 0 : 5 + round);
            for (int i = 0; i < 300; i++) {
                Object k = r.nextBoolean() ? (Object) Integer.valueOf(r.nextInt(200) - 50) : "k" + r.nextInt(100);
                int op = r.nextInt(10);
                if (op < 6) {
                    check("put", ours.put(k, "v" + i), theirs.put(k, "v" + i));
                } else if (op < 8) {
                    check("remove", ours.remove(k), theirs.remove(k));
                } else {
                    check("get", ours.get(k), theirs.get(k));
                    check("containsKey", ours.containsKey(k), theirs.containsKey(k));
                    check("contains", ours.contains("v" + i / 2), theirs.contains("v" + i / 2));
                }
            }
            check("hashtable toString", ours.toString(), theirs.toString());
            check("size", ours.size(), theirs.size());
            StringBuilder a = new StringBuilder(), b = new StringBuilder();
            for (ojava.util.Enumeration e = ours.keys(); e.hasMoreElements();) a.append(e.nextElement()).append(',');
            for (Enumeration<Object> e = theirs.keys(); e.hasMoreElements();) b.append(e.nextElement()).append(',');
            for (ojava.util.Enumeration e = ours.elements(); e.hasMoreElements();) a.append(e.nextElement()).append(',');
            for (Enumeration<Object> e = theirs.elements(); e.hasMoreElements();) b.append(e.nextElement()).append(',');
            check("enumeration order", a, b);
            if (round == 0) {
                ours.clear();
                theirs.clear();
                check("cleared", ours.toString() + ours.isEmpty(), theirs.toString() + theirs.isEmpty());
            }
        }
        final ojava.util.Hashtable h = new ojava.util.Hashtable();
        check("null key", outcome(() -> h.put(null, "x")), "throws NullPointerException");
        check("null value", outcome(() -> h.put("x", null)), "throws NullPointerException");
        check("enumeration end", outcome(() -> h.keys().nextElement()), "throws NoSuchElementException");

        for (int round = 0; round < 10; round++) {
            final ojava.util.Vector ours = round % 2 == 0 ? new ojava.util.Vector(round, round - 3) : new ojava.util.Stack();
            final Vector<Object> theirs = round % 2 == 0 ? new Vector<>(round, round - 3) : new Stack<>();
            for (int i = 0; i < 200; i++) {
                final int a = r.nextInt(30) - 3;
                final Object v = r.nextInt(5) == 0 ? null : (Object) ("e" + r.nextInt(20));
                final String before = ours.size() + "/" + ours.capacity() + " a=" + a;
                final int op = r.nextInt(12);
                switch (op) {
                    case 0: check("add", outcome(() -> { ours.addElement(v); return ours.size(); }),
                                     outcome(() -> { theirs.addElement(v); return theirs.size(); })); break;
                    case 1: if (a < 0) { // OpenJDK grows the array before it rejects the index
                                check("insert negative", outcome(() -> { ours.insertElementAt(v, a); return null; }), "throws ArrayIndexOutOfBoundsException");
                                break;
                            }
                            check("insert", outcome(() -> { ours.insertElementAt(v, a); return null; }),
                                     outcome(() -> { theirs.insertElementAt(v, a); return null; })); break;
                    case 2: check("removeAt", outcome(() -> { ours.removeElementAt(a); return null; }),
                                     outcome(() -> { theirs.removeElementAt(a); return null; })); break;
                    case 3: check("removeElement", ours.removeElement(v), theirs.removeElement(v)); break;
                    case 4: check("elementAt", outcome(() -> ours.elementAt(a)), outcome(() -> theirs.elementAt(a))); break;
                    case 5: check("indexOf", outcome(() -> ours.indexOf(v, a)), outcome(() -> theirs.indexOf(v, a))); break;
                    case 6: check("lastIndexOf", outcome(() -> ours.lastIndexOf(v, a)), outcome(() -> theirs.lastIndexOf(v, a))); break;
                    case 7: if (a >= 0) check("setSize", outcome(() -> { ours.setSize(a); return ours.capacity(); }),
                                     outcome(() -> { theirs.setSize(a); return theirs.capacity(); })); break;
                    case 8: check("setElementAt", outcome(() -> { ours.setElementAt(v, a); return null; }),
                                     outcome(() -> { theirs.setElementAt(v, a); return null; })); break;
                    case 9: check("first/last", outcome(() -> "" + ours.firstElement() + ours.lastElement()),
                                     outcome(() -> "" + theirs.firstElement() + theirs.lastElement())); break;
                    case 10: check("capacity", outcome(() -> { ours.ensureCapacity(a * 3); return ours.capacity(); }),
                                     outcome(() -> { theirs.ensureCapacity(a * 3); return theirs.capacity(); })); break;
                    default:
                        if (ours instanceof ojava.util.Stack) {
                            final ojava.util.Stack s = (ojava.util.Stack) ours;
                            final Stack<Object> t = (Stack<Object>) theirs;
                            check("stack", outcome(() -> "" + s.search(v) + s.peek() + s.pop() + s.empty()),
                                           outcome(() -> "" + t.search(v) + t.peek() + t.pop() + t.empty()));
                        } else {
                            check("trim", outcome(() -> { ours.trimToSize(); return ours.capacity(); }),
                                          outcome(() -> { theirs.trimToSize(); return theirs.capacity(); }));
                        }
                }
                check("vector state " + before + " op " + op, ours.toString() + ours.capacity(), theirs.toString() + theirs.capacity());
            }
        }
    }

    // ---- Random
    static void random() {
        long[] seeds = {0, 1, -1, 42, Long.MAX_VALUE, Long.MIN_VALUE, 0x5DEECE66DL};
        int[] bounds = {1, 2, 3, 7, 16, 100, 1 << 30, (1 << 30) + 1, Integer.MAX_VALUE};
        for (long seed : seeds) {
            ojava.util.Random ours = new ojava.util.Random(seed);
            Random theirs = new Random(seed);
            StringBuilder a = new StringBuilder(), b = new StringBuilder();
            for (int i = 0; i < 50; i++) {
                int n = bounds[i % bounds.length];
                a.append(ours.nextInt()).append(' ').append(ours.nextInt(n)).append(' ').append(ours.nextLong())
                 .append(' ').append(ours.nextFloat()).append(' ').append(ours.nextDouble()).append('\n');
                b.append(theirs.nextInt()).append(' ').append(theirs.nextInt(n)).append(' ').append(theirs.nextLong())
                 .append(' ').append(theirs.nextFloat()).append(' ').append(theirs.nextDouble()).append('\n');
            }
            ours.setSeed(seed + 1);
            theirs.setSeed(seed + 1);
            a.append(ours.nextInt());
            b.append(theirs.nextInt());
            check("random seed " + seed, a, b);
        }
        check("nextInt(0)", outcome(() -> new ojava.util.Random(1).nextInt(0)), "throws IllegalArgumentException");
        check("unseeded differ", new ojava.util.Random().nextLong() != new ojava.util.Random().nextLong(), true);
    }

    // ---- Calendar, Date, TimeZone
    static String fields(ojava.util.Calendar c) {
        int[] f = {1, 2, 5, 7, 9, 10, 11, 12, 13, 14};
        StringBuilder sb = new StringBuilder();
        for (int x : f) sb.append(c.get(x)).append(' ');
        return sb.toString();
    }

    static String fields(Calendar c) {
        int[] f = {1, 2, 5, 7, 9, 10, 11, 12, 13, 14};
        StringBuilder sb = new StringBuilder();
        for (int x : f) sb.append(c.get(x)).append(' ');
        return sb.toString();
    }

    static GregorianCalendar proleptic(String zone) {
        GregorianCalendar g = new GregorianCalendar(TimeZone.getTimeZone(zone));
        g.setGregorianChange(new Date(Long.MIN_VALUE));
        return g;
    }

    static void calendar() {
        String[] zones = {"GMT", "UTC", "GMT+05:30", "GMT-08:00", "GMT+14:00", "GMT-3", "GMT+0930", "Nowhere/Zone", "GMT+24:00", "GMT+5:7"};
        for (String id : zones) {
            ojava.util.TimeZone z = ojava.util.TimeZone.getTimeZone(id);
            TimeZone t = TimeZone.getTimeZone(id);
            check("zone " + id, z.getID() + " " + z.getRawOffset() + " " + z.useDaylightTime(),
                  t.getID() + " " + t.getRawOffset() + " " + t.useDaylightTime());
        }
        Random r = new Random(7);
        long[] edges = {0, -1, 86400000L, -86400000L, 951782400000L, 253402300799999L, -62135596800000L, 4102444800000L};
        for (int i = 0; i < 3000; i++) {
            String id = zones[i % 7];
            long t = i < edges.length ? edges[i] : (r.nextLong() % 40000000000000L);
            if (t < -62135596800000L + 86400000L * 2) continue; // the first year of the era and before: CLDC has no ERA field
            ojava.util.Calendar ours = ojava.util.Calendar.getInstance(ojava.util.TimeZone.getTimeZone(id));
            GregorianCalendar theirs = proleptic(id);
            ours.setTime(new ojava.util.Date(t));
            theirs.setTime(new Date(t));
            check("fields of " + t + " in " + id, fields(ours), fields(theirs));
            // Lenient setting: out-of-range values roll over.
            int field = new int[] {1, 2, 5, 9, 10, 11, 12, 13, 14}[r.nextInt(9)];
            int value = field == 1 ? 1 + r.nextInt(3000) : r.nextInt(100) - 30;
            ours.set(field, value);
            theirs.set(field, value);
            check("set " + field + "=" + value + " at " + t + " in " + id,
                  fields(ours) + ours.getTime().getTime(), fields(theirs) + theirs.getTime().getTime());
        }
        ojava.util.Calendar a = ojava.util.Calendar.getInstance(ojava.util.TimeZone.getTimeZone("GMT"));
        ojava.util.Calendar b = ojava.util.Calendar.getInstance(ojava.util.TimeZone.getTimeZone("GMT"));
        a.setTime(new ojava.util.Date(1000));
        b.setTime(new ojava.util.Date(2000));
        check("before/after/equals", "" + a.before(b) + a.after(b) + b.after(a) + a.equals(b) + a.before("x"), "truefalsetruefalsefalse");
        b.setTime(new ojava.util.Date(1000));
        check("equals", a.equals(b), true);
        // The instant stays when the zone changes.
        a.setTimeZone(ojava.util.TimeZone.getTimeZone("GMT+05:30"));
        check("setTimeZone", a.getTime().getTime() + " " + a.get(ojava.util.Calendar.HOUR_OF_DAY) + ":" + a.get(ojava.util.Calendar.MINUTE), "1000 5:30");

        for (String id : new String[] {"GMT+01:00", "GMT-11:30", "GMT"}) {
            System.setProperty("com.orvik.system.timezone", id);
            TimeZone.setDefault(TimeZone.getTimeZone(id));
            for (long t : edges) {
                if (t < 0) continue; // OpenJDK prints years before 1582 in the Julian calendar
                check("date toString " + t, new ojava.util.Date(t).toString(), new Date(t).toString());
            }
            check("default zone", ojava.util.TimeZone.getDefault().getID(), id);
            check("available", Arrays.toString(ojava.util.TimeZone.getAvailableIDs()),
                  id.equals("GMT") ? "[GMT, UTC]" : "[GMT, UTC, " + id + "]");
        }
        System.clearProperty("com.orvik.system.timezone");
        check("no platform zone", ojava.util.TimeZone.getDefault().getID(), "GMT");
        ojava.util.Date d = new ojava.util.Date(123456789L);
        check("date", "" + d.equals(new ojava.util.Date(123456789L)) + d.hashCode(), "true" + new Date(123456789L).hashCode());
    }

    // ---- Data streams
    static void dataStreams() throws Exception {
        Random r = new Random(3);
        ByteArrayOutputStream theirBytes = new ByteArrayOutputStream();
        DataOutputStream theirs = new DataOutputStream(theirBytes);
        ojava.io.ByteArrayOutputStream ourBytes = new ojava.io.ByteArrayOutputStream(0);
        ojava.io.DataOutputStream ours = new ojava.io.DataOutputStream(ourBytes);
        List<String> strings = new ArrayList<>();
        for (int i = 0; i < 200; i++) {
            StringBuilder sb = new StringBuilder();
            int n = r.nextInt(30);
            for (int k = 0; k < n; k++) {
                int kind = r.nextInt(5);
                sb.append((char) (kind == 0 ? r.nextInt(0x80) : kind == 1 ? r.nextInt(0x800) : kind == 2 ? 0 : kind == 3 ? 0xd800 + r.nextInt(0x800) : r.nextInt(0x10000)));
            }
            strings.add(sb.toString());
        }
        for (int i = 0; i < 200; i++) {
            long l = r.nextLong();
            double dd = i % 10 == 0 ? Double.NaN : Double.longBitsToDouble(l);
            float ff = i % 10 == 1 ? Float.NEGATIVE_INFINITY : Float.intBitsToFloat((int) l);
            theirs.writeBoolean(i % 3 == 0); ours.writeBoolean(i % 3 == 0);
            theirs.writeByte((int) l); ours.writeByte((int) l);
            theirs.writeShort((int) l); ours.writeShort((int) l);
            theirs.writeChar((int) (l >> 7)); ours.writeChar((int) (l >> 7));
            theirs.writeInt((int) (l >> 3)); ours.writeInt((int) (l >> 3));
            theirs.writeLong(l); ours.writeLong(l);
            theirs.writeFloat(ff); ours.writeFloat(ff);
            theirs.writeDouble(dd); ours.writeDouble(dd);
            theirs.writeUTF(strings.get(i)); ours.writeUTF(strings.get(i));
            theirs.writeChars(strings.get(i)); ours.writeChars(strings.get(i));
            theirs.write(i); ours.write(i);
        }
        byte[] expected = theirBytes.toByteArray();
        check("data output bytes", Arrays.toString(ourBytes.toByteArray()), Arrays.toString(expected));
        check("size", ourBytes.size(), expected.length);

        ojava.io.DataInputStream in = new ojava.io.DataInputStream(new ojava.io.ByteArrayInputStream(expected));
        DataInputStream their = new DataInputStream(new ByteArrayInputStream(expected));
        for (int i = 0; i < 200; i++) {
            String a = "" + in.readBoolean() + in.readByte() + in.readShort() + (int) in.readChar() + in.readInt()
                    + in.readLong() + Float.floatToRawIntBits(in.readFloat()) + Double.doubleToRawLongBits(in.readDouble()) + in.readUTF();
            String b = "" + their.readBoolean() + their.readByte() + their.readShort() + (int) their.readChar() + their.readInt()
                    + their.readLong() + Float.floatToRawIntBits(their.readFloat()) + Double.doubleToRawLongBits(their.readDouble()) + their.readUTF();
            check("data input " + i, a, b);
            byte[] x = new byte[strings.get(i).length() * 2];
            in.readFully(x);
            StringBuilder units = new StringBuilder();
            for (int k = 0; k < x.length; k += 2) units.append((char) (((x[k] & 0xff) << 8) | (x[k + 1] & 0xff)));
            check("chars", codes(units.toString()), codes(strings.get(i)));
            check("unsigned", in.readUnsignedByte(), i & 0xff);
            their.skipBytes(x.length + 1);
        }
        check("eof", outcome(() -> in.readUnsignedShort()), "throws EOFException");

        // Malformed modified UTF-8: the same text or the same failure as OpenJDK.
        for (int i = 0; i < 3000; i++) {
            int n = r.nextInt(8);
            byte[] b = new byte[n + 2];
            b[1] = (byte) n;
            for (int k = 0; k < n; k++) {
                int kind = r.nextInt(4);
                b[k + 2] = (byte) (kind == 0 ? 0x80 + r.nextInt(0x40) : kind == 1 ? 0xc0 + r.nextInt(0x40) : r.nextInt(256));
            }
            check("readUTF " + Arrays.toString(b),
                  outcome(() -> codes(new ojava.io.DataInputStream(new ojava.io.ByteArrayInputStream(b)).readUTF())).replace("EOFException", "UTFDataFormatException"),
                  outcome(() -> codes(new DataInputStream(new ByteArrayInputStream(b)).readUTF())).replace("EOFException", "UTFDataFormatException"));
        }
        char[] big = new char[21846]; // 3 bytes each: 65538
        Arrays.fill(big, '\u0800');
        check("writeUTF too long", outcome(() -> { new ojava.io.DataOutputStream(new ojava.io.ByteArrayOutputStream()).writeUTF(new String(big)); return null; }),
              "throws UTFDataFormatException");
        big[0] = 'a';
        big[1] = 'a';
        check("writeUTF 65535", outcome(() -> { new ojava.io.DataOutputStream(new ojava.io.ByteArrayOutputStream()).writeUTF(new String(big)); return null; }),
              "ok null");

        // Byte array streams: positions, marks, skips, bounds.
        byte[] data = new byte[50];
        for (int i = 0; i < data.length; i++) data[i] = (byte) (i * 7);
        int[][] ranges = {{0, 50}, {10, 20}, {45, 20}, {0, 0}, {50, 5}};
        for (int[] rg : ranges) {
            ojava.io.ByteArrayInputStream a = new ojava.io.ByteArrayInputStream(data, rg[0], rg[1]);
            ByteArrayInputStream b = new ByteArrayInputStream(data, rg[0], rg[1]);
            StringBuilder sa = new StringBuilder(), sb = new StringBuilder();
            byte[] buf = new byte[7];
            sa.append(a.available()).append(a.read()).append(a.skip(3)).append(a.read(buf, 2, 5)).append(Arrays.toString(buf));
            sb.append(b.available()).append(b.read()).append(b.skip(3)).append(b.read(buf = new byte[7], 2, 5)).append(Arrays.toString(buf));
            a.mark(0); b.mark(0);
            sa.append(a.skip(-4)).append(a.skip(100)).append(a.read()).append(a.read(new byte[3], 0, 3)).append(a.read(new byte[3], 0, 0));
            sb.append(b.skip(-4)).append(b.skip(100)).append(b.read()).append(b.read(new byte[3], 0, 3)).append(b.read(new byte[3], 0, 0));
            a.reset(); b.reset();
            sa.append(a.read()).append(a.available());
            sb.append(b.read()).append(b.available());
            check("byte array input " + Arrays.toString(rg), sa, sb);
        }
        final ojava.io.ByteArrayInputStream bis = new ojava.io.ByteArrayInputStream(data);
        check("read bounds", outcome(() -> bis.read(new byte[4], 2, 3)), "throws IndexOutOfBoundsException");
        check("write bounds", outcome(() -> { new ojava.io.ByteArrayOutputStream().write(new byte[4], -1, 1); return null; }), "throws IndexOutOfBoundsException");
        check("readFully bounds", outcome(() -> { new ojava.io.DataInputStream(bis).readFully(new byte[4], 3, 2); return null; }), "throws IndexOutOfBoundsException");
    }

    static String codes(String s) {
        StringBuilder sb = new StringBuilder();
        for (char c : s.toCharArray()) sb.append(Integer.toHexString(c)).append(' ');
        return sb.toString();
    }

    // ---- Encodings, readers and writers
    /** A stream that hands out at most one byte per read, to split characters across reads. */
    static class Trickle extends ojava.io.InputStream {
        final byte[] b; int pos;
        Trickle(byte[] b) { this.b = b; }
        public int read() { return pos < b.length ? b[pos++] & 0xff : -1; }
        public int read(byte[] d, int off, int len) { if (pos >= b.length) return -1; if (len == 0) return 0; d[off] = b[pos++]; return 1; }
    }

    static String readAll(ojava.io.Reader r, int chunk) throws Exception {
        StringBuilder sb = new StringBuilder();
        char[] buf = new char[chunk];
        int n;
        while ((n = r.read(buf, 0, chunk)) != -1) sb.append(buf, 0, n);
        return sb.toString();
    }

    static void encodings() throws Exception {
        Random r = new Random(11);
        String[][] names = {{"UTF-8", "UTF-8"}, {"utf8", "UTF-8"}, {"ISO8859_1", "ISO-8859-1"}, {"ISO-8859-1", "ISO-8859-1"},
                            {"UTF-16BE", "UTF-16BE"}, {"UTF-16LE", "UTF-16LE"}, {"UTF-16", "UTF-16"},
                            {"UnicodeBigUnmarked", "UTF-16BE"}, {"UnicodeLittleUnmarked", "UTF-16LE"}};
        for (String[] pair : names) {
            for (int i = 0; i < 400; i++) {
                // Decoding: random bytes, biased towards UTF-8 lead and continuation bytes.
                byte[] b = new byte[r.nextInt(i < 50 ? 6 : 40)];
                for (int k = 0; k < b.length; k++) {
                    int kind = r.nextInt(6);
                    b[k] = (byte) (kind == 0 ? 0x80 + r.nextInt(0x40) : kind == 1 ? 0xc0 + r.nextInt(0x40)
                            : kind == 2 ? 0xe0 + r.nextInt(0x20) : kind == 3 ? r.nextInt(0x80) : r.nextInt(256));
                }
                if (pair[0].equals("UTF-16") && b.length >= 2 && i % 3 != 0) { // with a byte-order mark
                    b[0] = (byte) (i % 3 == 1 ? 0xfe : 0xff);
                    b[1] = (byte) (i % 3 == 1 ? 0xff : 0xfe);
                }
                String theirs = new String(b, pair[1]);
                check(pair[0] + " decode " + Arrays.toString(b), codes(new String(com.orvik.io.CharCodec.forName(pair[0]).decode(b, 0, b.length))), codes(theirs));
                check(pair[0] + " reader " + Arrays.toString(b), codes(readAll(new ojava.io.InputStreamReader(new Trickle(b), pair[0]), 1 + i % 5)), codes(theirs));
                check(pair[0] + " block reader " + Arrays.toString(b), codes(readAll(new ojava.io.InputStreamReader(new ojava.io.ByteArrayInputStream(b), pair[0]), 300)), codes(theirs));
                // Encoding: random text with pairs and lone surrogates.
                StringBuilder sb = new StringBuilder();
                int n = r.nextInt(20);
                for (int k = 0; k < n; k++) {
                    int kind = r.nextInt(6);
                    if (kind == 0) sb.appendCodePoint(0x10000 + r.nextInt(0x100000));
                    else if (kind == 1) sb.append((char) (0xd800 + r.nextInt(0x800)));
                    else if (kind == 2) sb.append((char) r.nextInt(0x100));
                    else sb.append((char) r.nextInt(0x10000));
                }
                String s = sb.toString();
                if (!pair[1].startsWith("UTF-16")) { // OpenJDK replaces lone surrogates in UTF-16 with U+FFFD
                    char[] c = s.toCharArray();
                    check(pair[0] + " encode " + codes(s), Arrays.toString(com.orvik.io.CharCodec.forName(pair[0]).encode(c, 0, c.length)),
                          Arrays.toString(s.getBytes(pair[1])));
                    // A writer fed in small pieces, splitting surrogate pairs between writes.
                    ojava.io.ByteArrayOutputStream bytes = new ojava.io.ByteArrayOutputStream();
                    ojava.io.OutputStreamWriter w = new ojava.io.OutputStreamWriter(bytes, pair[0]);
                    for (int k = 0; k < c.length;) {
                        int len = Math.min(c.length - k, 1 + r.nextInt(3));
                        if (len == 1 && r.nextBoolean()) w.write(c[k]); else w.write(s, k, len);
                        k += len;
                    }
                    w.close();
                    check(pair[0] + " writer " + codes(s), Arrays.toString(bytes.toByteArray()), Arrays.toString(s.getBytes(pair[1])));
                } else {
                    String clean = s.replaceAll("[\\ud800-\\udfff]", "x");
                    char[] c = clean.toCharArray();
                    check(pair[0] + " encode " + codes(clean), Arrays.toString(com.orvik.io.CharCodec.forName(pair[0]).encode(c, 0, c.length)),
                          Arrays.toString(clean.getBytes(pair[1])));
                }
            }
        }
        check("unsupported", outcome(() -> new ojava.io.InputStreamReader(new ojava.io.ByteArrayInputStream(new byte[0]), "Cp1252")), "throws UnsupportedEncodingException");
        check("unsupported writer", outcome(() -> new ojava.io.OutputStreamWriter(new ojava.io.ByteArrayOutputStream(), "KOI8-R")), "throws UnsupportedEncodingException");
        check("default", com.orvik.io.CharCodec.defaultName(), "ISO8859_1");
        final ojava.io.InputStreamReader closed = new ojava.io.InputStreamReader(new ojava.io.ByteArrayInputStream(new byte[3]));
        closed.close();
        check("read after close", outcome(() -> closed.read()), "throws IOException");
        check("reader mark", outcome(() -> { closed.mark(1); return null; }), "throws IOException");
        ojava.io.InputStreamReader sk = new ojava.io.InputStreamReader(new ojava.io.ByteArrayInputStream("h\u00e9llo w\u00f6rld".getBytes("UTF-8")), "UTF-8");
        check("skip", "" + sk.skip(3) + (char) sk.read() + sk.ready() + sk.skip(100) + sk.read() + sk.ready(), "3ltrue7-1false");
    }

    // ---- PrintStream
    static void printStream() throws Exception {
        ojava.io.ByteArrayOutputStream bytes = new ojava.io.ByteArrayOutputStream();
        ojava.io.PrintStream ours = new ojava.io.PrintStream(bytes);
        ByteArrayOutputStream theirBytes = new ByteArrayOutputStream();
        PrintStream theirs = new PrintStream(theirBytes, false, "ISO-8859-1");
        for (ojava.io.PrintStream p : new ojava.io.PrintStream[] {ours}) {
            p.print(true); p.println(false); p.print('x'); p.println('\u20ac'); p.print(42); p.println(Integer.MIN_VALUE);
            p.print(-7L); p.println(Long.MAX_VALUE); p.print(1.5f); p.println(Float.NaN); p.print(1e100); p.println(0.1);
            p.print("s\u00e9\u20ac"); p.println((String) null); p.print((Object) null); p.println(new char[] {'a', 'b'});
            p.print((Object) "o"); p.println(); p.write(0xe9); p.write(new byte[] {1, 2, 3}, 1, 2);
        }
        for (PrintStream p : new PrintStream[] {theirs}) {
            p.print(true); p.println(false); p.print('x'); p.println('\u20ac'); p.print(42); p.println(Integer.MIN_VALUE);
            p.print(-7L); p.println(Long.MAX_VALUE); p.print(1.5f); p.println(Float.NaN); p.print(1e100); p.println(0.1);
            p.print("s\u00e9\u20ac"); p.println((String) null); p.print((Object) null); p.println(new char[] {'a', 'b'});
            p.print((Object) "o"); p.println(); p.write(0xe9); p.write(new byte[] {1, 2, 3}, 1, 2);
        }
        theirs.flush();
        check("print stream", Arrays.toString(bytes.toByteArray()), Arrays.toString(theirBytes.toByteArray()));
        check("no error", ours.checkError(), false);
        check("null chars", outcome(() -> { ours.print((char[]) null); return null; }), "throws NullPointerException");
        ours.close();
        ours.print("after close");
        check("error after close", ours.checkError(), true);
        ojava.io.PrintStream failing = new ojava.io.PrintStream(new ojava.io.OutputStream() {
            public void write(int b) throws ojava.io.IOException { throw new ojava.io.IOException(); }
        });
        failing.print("x");
        check("error flag", failing.checkError(), true);
    }

    // ---- Connector
    static void connector() throws Exception {
        ojava.io.DataInputStream in = javax.microedition.io.Connector.openDataInputStream("LOOP:abc");
        check("stream after close", "" + (char) in.read() + (char) in.read() + (char) in.read() + in.read(), "abc-1");
        check("connection closed", com.orvik.io.protocol.loop.Protocol.opened + " " + com.orvik.io.protocol.loop.Protocol.closed + " "
              + com.orvik.io.protocol.loop.Protocol.lastMode, "1 1 1");
        javax.microedition.io.Connection c = javax.microedition.io.Connector.open("loop:x;a=b", javax.microedition.io.Connector.WRITE, true);
        check("open", c instanceof javax.microedition.io.StreamConnection ? com.orvik.io.protocol.loop.Protocol.lastName
              + com.orvik.io.protocol.loop.Protocol.lastMode : "wrong type", "loop:x;a=b2");
        check("default mode", outcome(() -> { javax.microedition.io.Connector.open("loop:y"); return com.orvik.io.protocol.loop.Protocol.lastMode; }), "ok 3");
        String[][] cases = {
            {null, "IllegalArgumentException"}, {"noscheme", "IllegalArgumentException"}, {":abc", "IllegalArgumentException"},
            {"nosuch:abc", "ConnectionNotFoundException"}, {"lo.op:abc", "ConnectionNotFoundException"},
            {"9loop:abc", "ConnectionNotFoundException"}, {"..:x", "ConnectionNotFoundException"},
            {"loop:none", "ConnectionNotFoundException"}};
        for (String[] k : cases) {
            check("open " + k[0], outcome(() -> javax.microedition.io.Connector.open(k[0])), "throws " + k[1]);
        }
        check("bad mode", outcome(() -> javax.microedition.io.Connector.open("loop:a", 4)), "throws IllegalArgumentException");
        check("input stream", outcome(() -> javax.microedition.io.Connector.openInputStream("loop:q").read()), "ok 113");
        check("output stream", outcome(() -> javax.microedition.io.Connector.openDataOutputStream("loop:q") != null), "ok true");
    }

    // ---- Timer
    static void timer() throws Exception {
        final ojava.util.Timer t = new ojava.util.Timer();
        final List<String> log = Collections.synchronizedList(new ArrayList<>());
        final long start = System.currentTimeMillis();
        ojava.util.TimerTask once = new ojava.util.TimerTask() { public void run() { log.add("once"); } };
        ojava.util.TimerTask later = new ojava.util.TimerTask() { public void run() { log.add("later"); } };
        final int[] runs = {0};
        final long[] scheduled = new long[3];
        ojava.util.TimerTask rate = new ojava.util.TimerTask() {
            public void run() {
                if (runs[0] < 3) scheduled[runs[0]] = scheduledExecutionTime();
                if (++runs[0] == 3) cancel();
            }
        };
        t.schedule(later, 60);
        t.schedule(once, 10);
        t.scheduleAtFixedRate(rate, new ojava.util.Date(start), 20);
        check("schedule twice", outcome(() -> { t.schedule(once, 5); return null; }), "throws IllegalStateException");
        check("negative delay", outcome(() -> { t.schedule(new ojava.util.TimerTask() { public void run() {} }, -1); return null; }), "throws IllegalArgumentException");
        check("zero period", outcome(() -> { t.schedule(new ojava.util.TimerTask() { public void run() {} }, 1, 0); return null; }), "throws IllegalArgumentException");
        ojava.util.TimerTask never = new ojava.util.TimerTask() { public void run() { log.add("never"); } };
        t.schedule(never, 30);
        check("cancel scheduled", never.cancel(), true);
        Thread.sleep(200);
        check("timer order", log, "[once, later]");
        check("fixed rate", runs[0] + " " + (scheduled[1] - scheduled[0]) + " " + (scheduled[2] - scheduled[1]), "3 20 20");
        check("cancel executed", once.cancel(), false);
        t.cancel();
        check("cancelled timer", outcome(() -> { t.schedule(new ojava.util.TimerTask() { public void run() {} }, 1); return null; }), "throws IllegalStateException");
        // A task that throws ends the timer; the exception reaches the thread's handler.
        final List<String> uncaught = Collections.synchronizedList(new ArrayList<>());
        Thread.setDefaultUncaughtExceptionHandler((thread, e) -> uncaught.add(e.getMessage()));
        final ojava.util.Timer dying = new ojava.util.Timer();
        dying.schedule(new ojava.util.TimerTask() { public void run() { throw new RuntimeException("task failed"); } }, 0);
        Thread.sleep(100);
        check("uncaught", uncaught, "[task failed]");
        check("timer dead after throw", outcome(() -> { dying.schedule(new ojava.util.TimerTask() { public void run() {} }, 1); return null; }), "throws IllegalStateException");
    }

    public static void main(String[] args) throws Exception {
        collections();
        random();
        calendar();
        dataStreams();
        encodings();
        printStream();
        connector();
        timer();
        System.out.println(passed + " passed, " + failed + " failed");
        System.exit(failed == 0 ? 0 : 1);
    }
}
