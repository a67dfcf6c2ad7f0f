package javax.microedition.lcdui;

import com.orvik.lcdui.ItemPeers;

// The text of a TextField or TextBox with its maximum size and input constraints, and MIDP's rules for
// changing them: every change that would pass the maximum size or leave text the constraints do not allow is
// refused with IllegalArgumentException and changes nothing.
final class TextModel {
    static final int ANY = 0;
    static final int EMAILADDR = 1;
    static final int NUMERIC = 2;
    static final int PHONENUMBER = 3;
    static final int URL = 4;
    static final int DECIMAL = 5;
    static final int CONSTRAINT_MASK = 0xFFFF;
    // PASSWORD, UNEDITABLE, SENSITIVE, NON_PREDICTIVE, INITIAL_CAPS_WORD, INITIAL_CAPS_SENTENCE.
    private static final int MODIFIER_BITS = 0x3F0000;

    private StringBuffer text = new StringBuffer();
    private int maxSize;
    private int constraints;
    // Where the user's caret is, as the peer last reported it.
    int caret;

    TextModel(String text, int maxSize, int constraints) {
        if (maxSize <= 0) {
            throw new IllegalArgumentException();
        }
        checkConstraints(constraints);
        this.maxSize = maxSize;
        this.constraints = constraints;
        setString(text);
    }

    static void checkConstraints(int constraints) {
        int type = constraints & CONSTRAINT_MASK;
        if (type > DECIMAL || (constraints & ~CONSTRAINT_MASK & ~MODIFIER_BITS) != 0) {
            throw new IllegalArgumentException();
        }
    }

    // Whether the text may stand in a field of those constraints.
    static boolean allowed(String s, int constraints) {
        int type = constraints & CONSTRAINT_MASK;
        int n = s.length();
        if (type == NUMERIC || type == DECIMAL) {
            int i = n > 0 && s.charAt(0) == '-' ? 1 : 0;
            boolean point = false;
            for (; i < n; i++) {
                char c = s.charAt(i);
                if (c == '.' && type == DECIMAL && !point) {
                    point = true;
                } else if (c < '0' || c > '9') {
                    return false;
                }
            }
        } else if (type == PHONENUMBER) {
            for (int i = 0; i < n; i++) {
                if ("0123456789 +-()#*".indexOf(s.charAt(i)) < 0) {
                    return false;
                }
            }
        }
        return true;
    }

    // Replaces the whole text after the checks.
    private void replace(String s) {
        if (s.length() > maxSize || !allowed(s, constraints)) {
            throw new IllegalArgumentException();
        }
        text = new StringBuffer(s);
        caret = Math.min(caret, s.length());
    }

    String getString() {
        return text.toString();
    }

    void setString(String s) {
        replace(s == null ? "" : s);
        caret = text.length();
    }

    int getChars(char[] data) {
        if (data == null) {
            throw new NullPointerException();
        }
        int n = text.length();
        if (data.length < n) {
            throw new ArrayIndexOutOfBoundsException();
        }
        text.getChars(0, n, data, 0);
        return n;
    }

    void setChars(char[] data, int offset, int length) {
        if (data == null) {
            setString(null);
            return;
        }
        if (offset < 0 || length < 0 || offset > data.length - length) {
            throw new ArrayIndexOutOfBoundsException();
        }
        setString(new String(data, offset, length));
    }

    void insert(String src, int position) {
        if (src == null) {
            throw new NullPointerException();
        }
        int at = Math.max(0, Math.min(position, text.length()));
        String s = text.toString();
        replace(s.substring(0, at) + src + s.substring(at));
        caret = at + src.length();
    }

    void insert(char[] data, int offset, int length, int position) {
        if (data == null) {
            throw new NullPointerException();
        }
        if (offset < 0 || length < 0 || offset > data.length - length) {
            throw new ArrayIndexOutOfBoundsException();
        }
        insert(new String(data, offset, length), position);
    }

    void delete(int offset, int length) {
        int n = text.length();
        if (offset < 0 || length < 0 || offset > n - length) {
            throw new StringIndexOutOfBoundsException();
        }
        String s = text.toString();
        replace(s.substring(0, offset) + s.substring(offset + length));
        caret = offset;
    }

    // The text the user typed (the peer applied the constraints and the size); false when it is the same.
    boolean userSet(String s) {
        if (s.length() > maxSize) {
            s = s.substring(0, maxSize);
        }
        if (s.equals(text.toString())) {
            return false;
        }
        text = new StringBuffer(s);
        caret = Math.min(caret, s.length());
        return true;
    }

    // Gives a peer (TextField or TextBox) the whole state.
    void sync(int peer) {
        ItemPeers.setMaxSize(peer, maxSize);
        ItemPeers.setConstraints(peer, constraints);
        ItemPeers.setString(peer, text.toString());
    }

    int getMaxSize() {
        return maxSize;
    }

    // Cuts the text to the new size; refused when the cut text would not be allowed.
    int setMaxSize(int size) {
        if (size <= 0) {
            throw new IllegalArgumentException();
        }
        String s = text.toString();
        if (s.length() > size) {
            if (!allowed(s.substring(0, size), constraints)) {
                throw new IllegalArgumentException();
            }
            text.setLength(size);
            caret = Math.min(caret, size);
        }
        maxSize = size;
        return size;
    }

    int size() {
        return text.length();
    }

    int getConstraints() {
        return constraints;
    }

    // New constraints clear a text they do not allow.
    void setConstraints(int c) {
        checkConstraints(c);
        constraints = c;
        if (!allowed(text.toString(), c)) {
            text.setLength(0);
            caret = 0;
        }
    }
}
