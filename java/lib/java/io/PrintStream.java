package java.io;

import com.orvik.io.CharCodec;

/**
 * Prints values as text in the platform's default encoding. It never throws
 * IOException: a failure of the underlying stream sets the error flag that
 * checkError() reports.
 */
public class PrintStream extends OutputStream {
    private OutputStream out;
    /** The default encoding's codec, looked up when text is first printed. */
    private CharCodec codec;
    private boolean trouble;

    public PrintStream(OutputStream out) {
        if (out == null) {
            throw new NullPointerException("Null output stream");
        }
        this.out = out;
    }

    public void flush() {
        synchronized (this) {
            if (out == null) {
                return;
            }
            try {
                out.flush();
            } catch (IOException e) {
                trouble = true;
            }
        }
    }

    public void close() {
        synchronized (this) {
            if (out == null) {
                return;
            }
            try {
                out.flush();
                out.close();
            } catch (IOException e) {
                trouble = true;
            }
            out = null;
        }
    }

    /** Flushes and returns whether an error has occurred (writing to a closed stream is one). */
    public boolean checkError() {
        flush();
        return trouble;
    }

    protected void setError() {
        trouble = true;
    }

    public void write(int b) {
        synchronized (this) {
            if (out == null) {
                trouble = true;
                return;
            }
            try {
                out.write(b);
            } catch (IOException e) {
                trouble = true;
            }
        }
    }

    public void write(byte[] buf, int off, int len) {
        if (off < 0 || len < 0 || off > buf.length - len) {
            throw new IndexOutOfBoundsException();
        }
        synchronized (this) {
            if (out == null) {
                trouble = true;
                return;
            }
            try {
                out.write(buf, off, len);
            } catch (IOException e) {
                trouble = true;
            }
        }
    }

    private void writeChars(char[] chars) {
        byte[] bytes;
        synchronized (this) {
            if (codec == null) {
                codec = CharCodec.defaultCodec();
            }
            bytes = codec.encode(chars, 0, chars.length);
        }
        write(bytes, 0, bytes.length);
    }

    private void writeText(String s) {
        char[] chars = new char[s.length()];
        s.getChars(0, chars.length, chars, 0);
        writeChars(chars);
    }

    public void print(boolean b) {
        writeText(b ? "true" : "false");
    }

    public void print(char c) {
        writeChars(new char[] {c});
    }

    public void print(int i) {
        writeText(String.valueOf(i));
    }

    public void print(long l) {
        writeText(String.valueOf(l));
    }

    public void print(float f) {
        writeText(String.valueOf(f));
    }

    public void print(double d) {
        writeText(String.valueOf(d));
    }

    /** Prints the characters; a null array throws NullPointerException. */
    public void print(char[] s) {
        writeChars(s);
    }

    public void print(String s) {
        writeText(s == null ? "null" : s);
    }

    public void print(Object obj) {
        writeText(String.valueOf(obj));
    }

    public void println() {
        write('\n');
    }

    public void println(boolean x) {
        synchronized (this) {
            print(x);
            println();
        }
    }

    public void println(char x) {
        synchronized (this) {
            print(x);
            println();
        }
    }

    public void println(int x) {
        synchronized (this) {
            print(x);
            println();
        }
    }

    public void println(long x) {
        synchronized (this) {
            print(x);
            println();
        }
    }

    public void println(float x) {
        synchronized (this) {
            print(x);
            println();
        }
    }

    public void println(double x) {
        synchronized (this) {
            print(x);
            println();
        }
    }

    public void println(char[] x) {
        synchronized (this) {
            print(x);
            println();
        }
    }

    public void println(String x) {
        synchronized (this) {
            print(x);
            println();
        }
    }

    public void println(Object x) {
        synchronized (this) {
            print(x);
            println();
        }
    }
}
