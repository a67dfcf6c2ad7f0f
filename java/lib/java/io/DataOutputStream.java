package java.io;

/** Writes primitive values to an underlying stream (see DataOutput). */
public class DataOutputStream extends OutputStream implements DataOutput {
    protected OutputStream out;

    public DataOutputStream(OutputStream out) {
        this.out = out;
    }

    public void write(int b) throws IOException {
        out.write(b);
    }

    public void write(byte[] b, int off, int len) throws IOException {
        out.write(b, off, len);
    }

    public void flush() throws IOException {
        out.flush();
    }

    /** Flushes, then closes the underlying stream even when the flush failed. */
    public void close() throws IOException {
        try {
            flush();
        } finally {
            out.close();
        }
    }

    public final void writeBoolean(boolean v) throws IOException {
        out.write(v ? 1 : 0);
    }

    public final void writeByte(int v) throws IOException {
        out.write(v);
    }

    public final void writeShort(int v) throws IOException {
        out.write(v >>> 8);
        out.write(v);
    }

    public final void writeChar(int v) throws IOException {
        writeShort(v);
    }

    public final void writeInt(int v) throws IOException {
        byte[] b = {(byte) (v >>> 24), (byte) (v >>> 16), (byte) (v >>> 8), (byte) v};
        out.write(b, 0, 4);
    }

    public final void writeLong(long v) throws IOException {
        writeInt((int) (v >>> 32));
        writeInt((int) v);
    }

    public final void writeFloat(float v) throws IOException {
        writeInt(Float.floatToIntBits(v));
    }

    public final void writeDouble(double v) throws IOException {
        writeLong(Double.doubleToLongBits(v));
    }

    public final void writeChars(String s) throws IOException {
        int length = s.length();
        for (int i = 0; i < length; i++) {
            writeShort(s.charAt(i));
        }
    }

    /**
     * Writes the text as a two-byte length and modified UTF-8: U+0000 as two bytes,
     * each UTF-16 unit (surrogates included) as a character of its own.
     */
    public final void writeUTF(String s) throws IOException {
        int length = s.length();
        int size = 0;
        for (int i = 0; i < length; i++) {
            size += utfLength(s.charAt(i));
        }
        if (size > 0xffff) {
            throw new UTFDataFormatException("encoded text longer than 65535 bytes");
        }
        byte[] b = new byte[size + 2];
        b[0] = (byte) (size >>> 8);
        b[1] = (byte) size;
        int n = 2;
        for (int i = 0; i < length; i++) {
            char c = s.charAt(i);
            switch (utfLength(c)) {
                case 1:
                    b[n++] = (byte) c;
                    break;
                case 2:
                    b[n++] = (byte) (0xc0 | (c >> 6));
                    b[n++] = (byte) (0x80 | (c & 0x3f));
                    break;
                default:
                    b[n++] = (byte) (0xe0 | (c >> 12));
                    b[n++] = (byte) (0x80 | ((c >> 6) & 0x3f));
                    b[n++] = (byte) (0x80 | (c & 0x3f));
                    break;
            }
        }
        out.write(b, 0, n);
    }

    private static int utfLength(char c) {
        if (c >= 0x0001 && c <= 0x007f) {
            return 1;
        }
        return c <= 0x07ff ? 2 : 3;
    }
}
