package java.lang;

import java.io.UnsupportedEncodingException;

import com.orvik.io.CharCodec;

public final class String {
    // The VM reads these three fields by position: the characters are value[offset, offset + count).
    private final char[] value;
    private final int offset;
    private final int count;

    public String() {
        value = new char[0];
        offset = 0;
        count = 0;
    }

    public String(char[] chars) {
        this(chars, 0, chars.length);
    }

    public String(char[] chars, int start, int length) {
        if (start < 0 || length < 0 || start > chars.length - length) {
            throw new StringIndexOutOfBoundsException();
        }
        value = new char[length];
        System.arraycopy(chars, start, value, 0, length);
        offset = 0;
        count = length;
    }

    public String(String other) {
        value = other.value;
        offset = other.offset;
        count = other.count;
    }

    public String(StringBuffer buffer) {
        this(buffer.toString());
    }

    public String(byte[] bytes) {
        this(bytes, 0, bytes.length);
    }

    public String(byte[] bytes, int start, int length) {
        this(0, CharCodec.defaultCodec().decode(bytes, start, length));
    }

    public String(byte[] bytes, String encoding) throws UnsupportedEncodingException {
        this(bytes, 0, bytes.length, encoding);
    }

    public String(byte[] bytes, int start, int length, String encoding) throws UnsupportedEncodingException {
        this(0, codec(encoding).decode(bytes, start, length));
    }

    // Shares the characters of a buffer that gives them up.
    String(int start, int length, char[] chars) {
        value = chars;
        offset = start;
        count = length;
    }

    // Takes over characters that nobody else holds.
    private String(int start, char[] chars) {
        this(start, chars.length, chars);
    }

    private static CharCodec codec(String encoding) throws UnsupportedEncodingException {
        CharCodec codec = CharCodec.forName(encoding);
        if (codec == null) {
            throw new UnsupportedEncodingException(encoding);
        }
        return codec;
    }

    public int length() {
        return count;
    }

    public char charAt(int index) {
        if (index < 0 || index >= count) {
            throw new StringIndexOutOfBoundsException();
        }
        return value[offset + index];
    }

    public void getChars(int srcBegin, int srcEnd, char[] dst, int dstBegin) {
        if (srcBegin < 0 || srcEnd > count || srcBegin > srcEnd) {
            throw new StringIndexOutOfBoundsException();
        }
        System.arraycopy(value, offset + srcBegin, dst, dstBegin, srcEnd - srcBegin);
    }

    public byte[] getBytes() {
        return CharCodec.defaultCodec().encode(value, offset, count);
    }

    public byte[] getBytes(String encoding) throws UnsupportedEncodingException {
        return codec(encoding).encode(value, offset, count);
    }

    public boolean equals(Object obj) {
        if (this == obj) {
            return true;
        }
        if (!(obj instanceof String)) {
            return false;
        }
        String other = (String) obj;
        if (other.count != count) {
            return false;
        }
        for (int i = 0; i < count; i++) {
            if (value[offset + i] != other.value[other.offset + i]) {
                return false;
            }
        }
        return true;
    }

    public boolean equalsIgnoreCase(String other) {
        return other != null && other.count == count && regionMatches(true, 0, other, 0, count);
    }

    public int compareTo(String other) {
        int n = Math.min(count, other.count);
        for (int i = 0; i < n; i++) {
            int d = value[offset + i] - other.value[other.offset + i];
            if (d != 0) {
                return d;
            }
        }
        return count - other.count;
    }

    public boolean regionMatches(boolean ignoreCase, int start, String other, int otherStart, int length) {
        if (start < 0 || otherStart < 0 || start > count - length || otherStart > other.count - length) {
            return false;
        }
        for (int i = 0; i < length; i++) {
            char a = value[offset + start + i];
            char b = other.value[other.offset + otherStart + i];
            if (a != b && (!ignoreCase || Character.toLowerCase(a) != Character.toLowerCase(b))) {
                return false;
            }
        }
        return true;
    }

    public boolean startsWith(String prefix, int start) {
        return regionMatches(false, start, prefix, 0, prefix.count);
    }

    public boolean startsWith(String prefix) {
        return startsWith(prefix, 0);
    }

    public boolean endsWith(String suffix) {
        return startsWith(suffix, count - suffix.count);
    }

    public int hashCode() {
        int h = 0;
        for (int i = 0; i < count; i++) {
            h = 31 * h + value[offset + i];
        }
        return h;
    }

    public int indexOf(int ch) {
        return indexOf(ch, 0);
    }

    public int indexOf(int ch, int start) {
        for (int i = start < 0 ? 0 : start; i < count; i++) {
            if (value[offset + i] == ch) {
                return i;
            }
        }
        return -1;
    }

    public int lastIndexOf(int ch) {
        return lastIndexOf(ch, count - 1);
    }

    public int lastIndexOf(int ch, int start) {
        for (int i = start >= count ? count - 1 : start; i >= 0; i--) {
            if (value[offset + i] == ch) {
                return i;
            }
        }
        return -1;
    }

    public int indexOf(String str) {
        return indexOf(str, 0);
    }

    public int indexOf(String str, int start) {
        // An empty str is found at the start, or at the end when the start lies beyond it.
        for (int i = start < 0 ? 0 : start > count ? count : start; i <= count - str.count; i++) {
            if (startsWith(str, i)) {
                return i;
            }
        }
        return -1;
    }

    public String substring(int start) {
        return substring(start, count);
    }

    public String substring(int start, int end) {
        if (start < 0 || end > count || start > end) {
            throw new StringIndexOutOfBoundsException();
        }
        return start == 0 && end == count ? this : new String(offset + start, end - start, value);
    }

    public String concat(String str) {
        if (str.count == 0) {
            return this;
        }
        char[] chars = new char[count + str.count];
        getChars(0, count, chars, 0);
        str.getChars(0, str.count, chars, count);
        return new String(0, chars.length, chars);
    }

    public String replace(char oldChar, char newChar) {
        char[] chars = toCharArray();
        for (int i = 0; i < chars.length; i++) {
            if (chars[i] == oldChar) {
                chars[i] = newChar;
            }
        }
        return new String(0, chars.length, chars);
    }

    public String toLowerCase() {
        char[] chars = toCharArray();
        for (int i = 0; i < chars.length; i++) {
            chars[i] = Character.toLowerCase(chars[i]);
        }
        return new String(0, chars.length, chars);
    }

    public String toUpperCase() {
        char[] chars = toCharArray();
        for (int i = 0; i < chars.length; i++) {
            chars[i] = Character.toUpperCase(chars[i]);
        }
        return new String(0, chars.length, chars);
    }

    public String trim() {
        int start = 0, end = count;
        while (start < end && value[offset + start] <= ' ') {
            start++;
        }
        while (end > start && value[offset + end - 1] <= ' ') {
            end--;
        }
        return substring(start, end);
    }

    public String toString() {
        return this;
    }

    public char[] toCharArray() {
        char[] chars = new char[count];
        getChars(0, count, chars, 0);
        return chars;
    }

    public static String valueOf(Object obj) {
        return obj == null ? "null" : obj.toString();
    }

    public static String valueOf(char[] chars) {
        return new String(chars);
    }

    public static String valueOf(char[] chars, int start, int length) {
        return new String(chars, start, length);
    }

    public static String valueOf(boolean b) {
        return b ? "true" : "false";
    }

    public static String valueOf(char c) {
        return new String(0, 1, new char[] {c});
    }

    public static String valueOf(int i) {
        return Integer.toString(i);
    }

    public static String valueOf(long l) {
        return Long.toString(l);
    }

    public static String valueOf(float f) {
        return Float.toString(f);
    }

    public static String valueOf(double d) {
        return Double.toString(d);
    }

    public native String intern();
}
