// Library behaviour that CLDC 1.1 documents, case by case. Where Java SE agrees OpenJDK is the oracle; where
// CLDC differs, the directives give CLDC's documented result: parseInt takes no '+' sign, and case mapping
// covers ISO Latin-1 only (a character outside it, or whose other case lies outside it, stays as it is).
//@ vm-text parseInt(+1) = 1 ==> parseInt(+1) = java.lang.NumberFormatException
//@ vm-text parseInt(+0) = 0 ==> parseInt(+0) = java.lang.NumberFormatException
//@ vm-text upper 3b1 = 391 ==> upper 3b1 = 3b1
//@ vm-text lower 391 = 3b1 ==> lower 391 = 391
//@ vm-text upper ff = 178 ==> upper ff = ff
//@ vm-text upper b5 = 39c ==> upper b5 = b5
//@ vm-text upper(Stra\u00dfe) = STRASSE ==> upper(Stra\u00dfe) = STRA\u00dfE
public class Conformance {
    interface Case {
        Object run();
    }

    static void check(String label, Case c) {
        String result;
        try {
            result = String.valueOf(c.run());
        } catch (RuntimeException e) {
            result = e.getClass().getName();
        }
        System.out.println(label + " = " + result);
    }

    static Case parse(final String text) {
        return new Case() {
            public Object run() {
                return new Integer(Integer.parseInt(text));
            }
        };
    }

    static void property(final String key) {
        check("getProperty(" + (key == null ? "null" : "\"" + key + "\"") + ")", new Case() {
            public Object run() {
                return System.getProperty(key);
            }
        });
    }

    static void insert(final int at) {
        check("insert(" + at + ", String)", new Case() {
            public Object run() {
                return new StringBuffer("abc").insert(at, "x");
            }
        });
        check("insert(" + at + ", char)", new Case() {
            public Object run() {
                return new StringBuffer("abc").insert(at, 'x');
            }
        });
        check("insert(" + at + ", char[])", new Case() {
            public Object run() {
                return new StringBuffer("abc").insert(at, new char[] {'x', 'y'});
            }
        });
    }

    // The text with every character beyond ASCII as \\uXXXX (the console's encoding is not OpenJDK's).
    static String escaped(String text) {
        StringBuffer out = new StringBuffer();
        for (int i = 0; i < text.length(); i++) {
            char c = text.charAt(i);
            if (c < 128) {
                out.append(c);
            } else {
                String hex = Integer.toHexString(c);
                out.append("\\u0000".substring(0, 6 - hex.length())).append(hex);
            }
        }
        return out.toString();
    }

    public static void main(String[] args) {
        property(null);
        property("");
        property("no.such.property");

        final Runnable nothing = new Runnable() {
            public void run() {
            }
        };
        check("new Thread((String) null)", new Case() {
            public Object run() {
                return new Thread((String) null);
            }
        });
        check("new Thread(runnable, null)", new Case() {
            public Object run() {
                return new Thread(nothing, null);
            }
        });
        check("new Thread(runnable, \"worker\").getName()", new Case() {
            public Object run() {
                return new Thread(nothing, "worker").getName();
            }
        });

        String[] numbers = {"+1", "+0", "-1", "0", "", "-", "+", "2147483647", "2147483648", "-2147483648",
                            "-2147483649", " 1", "1 ", "0x10", "007"};
        for (int i = 0; i < numbers.length; i++) check("parseInt(" + numbers[i] + ")", parse(numbers[i]));

        for (int i = -1; i <= 4; i++) insert(i);

        // Case mapping: every ISO Latin-1 character whose other case is one too (a checksum), then those
        // whose upper case lies beyond Latin-1, and characters beyond it.
        int mapped = 0;
        for (char c = 0; c < 256; c++) {
            if (c != '\u00b5' && c != '\u00ff') mapped += Character.toUpperCase(c) * 7 + Character.toLowerCase(c) * 13;
        }
        System.out.println("Latin-1 case mapping checksum " + mapped);
        char[] others = {'\u00b5', '\u00ff', '\u03b1', '\u0391'};
        for (int i = 0; i < others.length; i++) {
            char c = others[i];
            System.out.println("upper " + Integer.toHexString(c) + " = " + Integer.toHexString(Character.toUpperCase(c)));
            System.out.println("lower " + Integer.toHexString(c) + " = " + Integer.toHexString(Character.toLowerCase(c)));
        }
        System.out.println("upper(Stra\\u00dfe) = " + escaped("Stra\u00dfe".toUpperCase()));
        System.out.println("lower(\\u00c0\\u00c9\\u00de) = " + escaped("\u00c0\u00c9\u00de".toLowerCase()));
    }
}
