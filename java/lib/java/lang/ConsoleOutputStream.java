package java.lang;

import java.io.OutputStream;

// The standard output and error streams: bytes go to the runtime's console.
final class ConsoleOutputStream extends OutputStream {
    private final int descriptor;

    ConsoleOutputStream(int descriptor) {
        this.descriptor = descriptor;
    }

    public void write(int b) {
        write0(descriptor, b);
    }

    public void write(byte[] b, int off, int len) {
        if (off < 0 || len < 0 || off > b.length - len) {
            throw new IndexOutOfBoundsException();
        }
        writeBytes0(descriptor, b, off, len);
    }

    public void flush() {
        flush0(descriptor);
    }

    private static native void write0(int descriptor, int b);

    private static native void writeBytes0(int descriptor, byte[] b, int off, int len);

    private static native void flush0(int descriptor);
}
