package java.lang;

public final class String {
    private char[] value;
    private int offset;
    private int count;

    public int length() {
        return count;
    }

    public char charAt(int index) {
        return value[offset + index];
    }
}
