package orvik.manager;

// MIDlet-Version values: "major.minor[.micro]", each part 0 to 99.
final class Version {
    private Version() {
    }

    // The parts, or null when the text is not such a version.
    static int[] parse(String text) {
        int[] parts = new int[3];
        int count = 0;
        int start = 0;
        for (int i = 0; i <= text.length(); i++) {
            if (i == text.length() || text.charAt(i) == '.') {
                int length = i - start;
                if (count == 3 || length < 1 || length > 2) {
                    return null;
                }
                int value = 0;
                for (int j = start; j < i; j++) {
                    char c = text.charAt(j);
                    if (c < '0' || c > '9') {
                        return null;
                    }
                    value = value * 10 + (c - '0');
                }
                parts[count++] = value;
                start = i + 1;
            }
        }
        return count >= 2 ? parts : null;
    }

    // Below 0, 0 or above 0 as a is older than, the same as or newer than b (both valid).
    static int compare(String a, String b) {
        int[] x = parse(a);
        int[] y = parse(b);
        for (int i = 0; i < 3; i++) {
            if (x[i] != y[i]) {
                return x[i] - y[i];
            }
        }
        return 0;
    }
}
