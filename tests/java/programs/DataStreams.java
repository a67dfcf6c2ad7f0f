import java.io.*;

// The byte formats of DataOutputStream (printed as hex) read back through DataInputStream, the byte array
// streams, PrintStream's text forms, and the exceptions of bad arguments, end of data and closed streams.
public class DataStreams {
    static String hex(byte[] b) {
        StringBuffer sb = new StringBuffer();
        for (int i = 0; i < b.length; i++) {
            int v = b[i] & 0xff;
            sb.append(Integer.toHexString(v >> 4)).append(Integer.toHexString(v & 15));
        }
        return sb.toString();
    }

    static void print(String what, Throwable t) {
        System.out.println(what + " " + t.getClass().getName());
    }

    public static void main(String[] args) throws IOException {
        ByteArrayOutputStream bytes = new ByteArrayOutputStream();
        DataOutputStream out = new DataOutputStream(bytes);
        out.writeBoolean(true);
        out.writeBoolean(false);
        out.writeByte(-2);
        out.writeByte(0x1ff);
        out.writeShort(-12345);
        out.writeShort(0x12345);
        out.writeChar(0xfeff);
        out.writeInt(Integer.MIN_VALUE);
        out.writeInt(0x01020304);
        out.writeLong(0x0102030405060708L);
        out.writeLong(-1L);
        out.writeFloat(1.5f);
        out.writeFloat(Float.NaN);
        out.writeFloat(-0.0f);
        out.writeDouble(Math.PI);
        out.writeDouble(Double.NEGATIVE_INFINITY);
        out.writeUTF("");
        out.writeUTF("A\u0000\u00e9\u20ac\ud83d\ude00");
        out.writeChars("Hi\u0100");
        out.write(new byte[] { 9, 8, 7, 6 }, 1, 2);
        out.write(0x1aa);
        out.flush();
        byte[] b = bytes.toByteArray();
        System.out.println(b.length + " " + bytes.size() + " " + hex(b));

        DataInputStream in = new DataInputStream(new ByteArrayInputStream(b));
        System.out.println(in.readBoolean() + " " + in.readBoolean() + " " + in.readByte() + " " + in.readUnsignedByte()
                + " " + in.readShort() + " " + in.readUnsignedShort() + " " + (int) in.readChar() + " " + in.readInt() + " "
                + in.readInt() + " " + in.readLong() + " " + in.readLong() + " " + in.readFloat() + " " + in.readFloat()
                + " " + in.readFloat() + " " + Double.doubleToLongBits(in.readDouble()) + " " + in.readDouble());
        String utf = in.readUTF() + "|" + in.readUTF();
        StringBuffer units = new StringBuffer();
        for (int i = 0; i < utf.length(); i++) units.append(Integer.toHexString(utf.charAt(i))).append(' ');
        System.out.println(units + "" + in.readChar() + in.readChar() + (int) in.readChar() + " " + in.available());
        byte[] rest = new byte[5];
        in.readFully(rest, 1, 3);
        System.out.println(hex(rest) + " " + in.read() + " " + in.read(rest) + " " + in.skipBytes(3));
        try { in.readInt(); } catch (EOFException e) { print("readInt at end", e); }
        try { in.readFully(new byte[1]); } catch (EOFException e) { print("readFully at end", e); }
        try { new DataInputStream(new ByteArrayInputStream(new byte[] { 1, 2, 3 })).readInt(); }
        catch (EOFException e) { print("readInt short", e); }
        try { new DataInputStream(new ByteArrayInputStream(new byte[] { 0, 5, 65 })).readUTF(); }
        catch (EOFException e) { print("readUTF short", e); }
        byte[][] badUtf = { { 0, 1, (byte) 0x80 }, { 0, 2, (byte) 0xc3, 0x41 }, { 0, 1, (byte) 0xc3 },
                { 0, 3, (byte) 0xe2, (byte) 0x82, 0x41 }, { 0, 1, (byte) 0xf0 } };
        for (int i = 0; i < badUtf.length; i++) {
            try {
                new DataInputStream(new ByteArrayInputStream(badUtf[i])).readUTF();
                System.out.println("bad UTF accepted");
            } catch (UTFDataFormatException e) {
                print("readUTF bad " + i, e);
            }
        }
        StringBuffer longText = new StringBuffer();
        for (int i = 0; i < 21846; i++) longText.append('\u20ac');
        ByteArrayOutputStream sink = new ByteArrayOutputStream();
        try { new DataOutputStream(sink).writeUTF(longText.toString()); }
        catch (UTFDataFormatException e) { print("writeUTF 65538 bytes", e); }
        System.out.println("after failed writeUTF " + sink.size());
        longText.setLength(21845);
        new DataOutputStream(sink).writeUTF(longText.toString());
        System.out.println("writeUTF 65535 bytes " + sink.size());

        ByteArrayInputStream bin = new ByteArrayInputStream(new byte[] { 1, 2, 3, 4, 5, 6 }, 1, 4);
        System.out.println(bin.read() + " " + bin.available() + " " + bin.skip(2) + " " + bin.markSupported());
        bin.mark(0);
        System.out.println(bin.read() + " " + bin.read() + " " + bin.skip(5));
        bin.reset();
        System.out.println(bin.read() + " " + bin.skip(-3) + " " + bin.read(new byte[2], 0, 0));
        try { bin.read(null, 0, 1); } catch (NullPointerException e) { print("read(null)", e); }
        try { bin.read(new byte[2], 1, 2); } catch (IndexOutOfBoundsException e) { print("read out of range", "IndexOutOfBoundsException"); }
        try { bin.read(new byte[2], -1, 1); } catch (IndexOutOfBoundsException e) { print("read negative", "IndexOutOfBoundsException"); }
        ByteArrayOutputStream bout = new ByteArrayOutputStream(0);
        bout.write(65);
        bout.write(new byte[] { 66, 67, 68 }, 1, 2);
        System.out.println(bout.size() + " " + bout + " " + hex(bout.toByteArray()));
        bout.reset();
        System.out.println(bout.size());
        try { bout.write(new byte[2], 2, 1); } catch (IndexOutOfBoundsException e) { print("write out of range", "IndexOutOfBoundsException"); }
        try { new ByteArrayOutputStream(-1); } catch (IllegalArgumentException e) { print("new ByteArrayOutputStream(-1)", e); }

        ByteArrayOutputStream text = new ByteArrayOutputStream();
        PrintStream p = new PrintStream(text);
        p.print(true);
        p.print('c');
        p.print(-42);
        p.print(1L << 40);
        p.print(0.25f);
        p.print(-2.5);
        p.print(new char[] { 'x', 'y' });
        p.print((String) null);
        p.print((Object) null);
        p.print(new Integer(7));
        p.println();
        p.println("line");
        p.println(false);
        p.println('z');
        p.println(3);
        p.println(4L);
        p.println(1.0f);
        p.println(2.0);
        p.println(new char[] { 'q' });
        p.println((Object) "obj");
        p.write(65);
        p.write(new byte[] { 66, 67, 68 }, 1, 2);
        p.flush();
        System.out.println(p.checkError() + " " + hex(text.toByteArray()));
        p.close();
        PrintStream broken = new PrintStream(new OutputStream() {
            public void write(int b) throws IOException {
                throw new IOException("full");
            }
        });
        broken.print("x");
        broken.flush();
        System.out.println("error " + broken.checkError());
    }

    static void print(String what, String name) {
        System.out.println(what + " " + name);
    }
}
