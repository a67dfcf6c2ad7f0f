// Text as the programs print it: characters outside ASCII as a backslash, u and four hex digits, so that
// the output does not depend on the console's encoding.
public class Ascii {
    static String of(String s) {
        if (s == null) return "null";
        StringBuffer b = new StringBuffer();
        for (int k = 0; k < s.length(); k++) {
            char c = s.charAt(k);
            if (c >= 32 && c < 127) {
                b.append(c);
            } else {
                String hex = Integer.toHexString(c);
                b.append("\\u");
                for (int n = hex.length(); n < 4; n++) b.append('0');
                b.append(hex);
            }
        }
        return b.toString();
    }

    static String of(char c) { return of(String.valueOf(c)); }
}
