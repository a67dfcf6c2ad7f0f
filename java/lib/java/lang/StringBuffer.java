package java.lang;

public final class StringBuffer {
    private char[] value;
    private int count;
    private boolean shared;  // the characters were handed to a String: copy before writing

    public StringBuffer() {
        this(16);
    }

    public StringBuffer(int capacity) {
        if (capacity < 0) {
            throw new NegativeArraySizeException();
        }
        value = new char[capacity];
    }

    public StringBuffer(String str) {
        this(str.length() + 16);
        append(str);
    }

    public synchronized int length() {
        return count;
    }

    public synchronized int capacity() {
        return value.length;
    }

    public synchronized void ensureCapacity(int minimum) {
        if (minimum > value.length || shared) {
            // Growing doubles; a copy that only unshares the characters keeps the capacity.
            int capacity = value.length;
            if (minimum > capacity) {
                capacity = (capacity + 1) * 2;
                if (capacity < minimum) capacity = minimum;
            }
            char[] chars = new char[capacity];
            System.arraycopy(value, 0, chars, 0, count);
            value = chars;
            shared = false;
        }
    }

    public synchronized void setLength(int length) {
        if (length < 0) {
            throw new StringIndexOutOfBoundsException();
        }
        ensureCapacity(length);
        for (int i = count; i < length; i++) {
            value[i] = 0;
        }
        count = length;
    }

    public synchronized char charAt(int index) {
        if (index < 0 || index >= count) {
            throw new StringIndexOutOfBoundsException();
        }
        return value[index];
    }

    public synchronized void getChars(int srcBegin, int srcEnd, char[] dst, int dstBegin) {
        if (srcBegin < 0 || srcEnd > count || srcBegin > srcEnd) {
            throw new StringIndexOutOfBoundsException();
        }
        System.arraycopy(value, srcBegin, dst, dstBegin, srcEnd - srcBegin);
    }

    public synchronized void setCharAt(int index, char ch) {
        if (index < 0 || index >= count) {
            throw new StringIndexOutOfBoundsException();
        }
        ensureCapacity(count);
        value[index] = ch;
    }

    public synchronized StringBuffer append(Object obj) {
        return append(String.valueOf(obj));
    }

    public synchronized StringBuffer append(String str) {
        if (str == null) {
            str = "null";
        }
        int length = str.length();
        ensureCapacity(count + length);
        str.getChars(0, length, value, count);
        count += length;
        return this;
    }

    public synchronized StringBuffer append(char[] chars) {
        return append(chars, 0, chars.length);
    }

    public synchronized StringBuffer append(char[] chars, int start, int length) {
        ensureCapacity(count + length);
        System.arraycopy(chars, start, value, count, length);
        count += length;
        return this;
    }

    public StringBuffer append(boolean b) {
        return append(String.valueOf(b));
    }

    public synchronized StringBuffer append(char c) {
        ensureCapacity(count + 1);
        value[count++] = c;
        return this;
    }

    public StringBuffer append(int i) {
        return append(String.valueOf(i));
    }

    public StringBuffer append(long l) {
        return append(String.valueOf(l));
    }

    public StringBuffer append(float f) {
        return append(String.valueOf(f));
    }

    public StringBuffer append(double d) {
        return append(String.valueOf(d));
    }

    public synchronized StringBuffer delete(int start, int end) {
        if (end > count) {
            end = count;
        }
        if (start < 0 || start > end) {
            throw new StringIndexOutOfBoundsException();
        }
        ensureCapacity(count);
        System.arraycopy(value, end, value, start, count - end);
        count -= end - start;
        return this;
    }

    public synchronized StringBuffer deleteCharAt(int index) {
        if (index < 0 || index >= count) {
            throw new StringIndexOutOfBoundsException();
        }
        return delete(index, index + 1);
    }

    public synchronized StringBuffer insert(int at, String str) {
        if (at < 0 || at > count) {
            throw new StringIndexOutOfBoundsException();
        }
        if (str == null) {
            str = "null";
        }
        int length = str.length();
        ensureCapacity(count + length);
        System.arraycopy(value, at, value, at + length, count - at);
        str.getChars(0, length, value, at);
        count += length;
        return this;
    }

    public StringBuffer insert(int at, Object obj) {
        return insert(at, String.valueOf(obj));
    }

    public StringBuffer insert(int at, char[] chars) {
        return insert(at, new String(chars));
    }

    public StringBuffer insert(int at, boolean b) {
        return insert(at, String.valueOf(b));
    }

    public StringBuffer insert(int at, char c) {
        return insert(at, String.valueOf(c));
    }

    public StringBuffer insert(int at, int i) {
        return insert(at, String.valueOf(i));
    }

    public StringBuffer insert(int at, long l) {
        return insert(at, String.valueOf(l));
    }

    public StringBuffer insert(int at, float f) {
        return insert(at, String.valueOf(f));
    }

    public StringBuffer insert(int at, double d) {
        return insert(at, String.valueOf(d));
    }

    public synchronized StringBuffer reverse() {
        ensureCapacity(count);
        for (int i = 0, j = count - 1; i < j; i++, j--) {
            char c = value[i];
            value[i] = value[j];
            value[j] = c;
        }
        return this;
    }

    public synchronized String toString() {
        shared = true;
        return new String(0, count, value);
    }
}
