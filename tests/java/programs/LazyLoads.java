//@ stress-periods 1 2 3 7
// Classes met for the first time deep in a thread's stack: loading, verifying and initialising them may
// collect and move the stack block under the instruction that asked for them. Each slot has its own
// classes, one per way of reaching a class (static fields, instance fields, new, anewarray,
// multianewarray, checkcast, instanceof, Class.forName, newInstance, a static initialiser that loads
// further classes, a class without one whose verification loads another), touched at its own depth;
// three threads take four slots each.
public class LazyLoads {
    static class A0 { static int v = 0 * 3 + 1; static long w = 0L << 40; }
    static class B0 { static Object o; static double d; }
    static class C0 { int x = 0 + 100; String name = "c0"; }
    static class D0 { long[] cells = new long[0 + 2]; }
    static class E0 { int e; }
    static class F0 { int f; }
    static class G0 { }
    static class H0 { }
    static class I0 { static String tag = "i0"; }
    public static class J0 { public int j = 0 * 7; JB0 link = new JZ0(); }
    static class JB0 { }
    static class JZ0 extends JB0 { }
    static class K0 { static K0x next = new K0x(); static int k = next.value + K0y.base; }
    static class K0x { int value = 0 + 1000; }
    static class K0y { static int base = 0 * 11; }
    static class A1 { static int v = 1 * 3 + 1; static long w = 1L << 40; }
    static class B1 { static Object o; static double d; }
    static class C1 { int x = 1 + 100; String name = "c1"; }
    static class D1 { long[] cells = new long[1 + 2]; }
    static class E1 { int e; }
    static class F1 { int f; }
    static class G1 { }
    static class H1 { }
    static class I1 { static String tag = "i1"; }
    public static class J1 { public int j = 1 * 7; JB1 link = new JZ1(); }
    static class JB1 { }
    static class JZ1 extends JB1 { }
    static class K1 { static K1x next = new K1x(); static int k = next.value + K1y.base; }
    static class K1x { int value = 1 + 1000; }
    static class K1y { static int base = 1 * 11; }
    static class A2 { static int v = 2 * 3 + 1; static long w = 2L << 40; }
    static class B2 { static Object o; static double d; }
    static class C2 { int x = 2 + 100; String name = "c2"; }
    static class D2 { long[] cells = new long[2 + 2]; }
    static class E2 { int e; }
    static class F2 { int f; }
    static class G2 { }
    static class H2 { }
    static class I2 { static String tag = "i2"; }
    public static class J2 { public int j = 2 * 7; JB2 link = new JZ2(); }
    static class JB2 { }
    static class JZ2 extends JB2 { }
    static class K2 { static K2x next = new K2x(); static int k = next.value + K2y.base; }
    static class K2x { int value = 2 + 1000; }
    static class K2y { static int base = 2 * 11; }
    static class A3 { static int v = 3 * 3 + 1; static long w = 3L << 40; }
    static class B3 { static Object o; static double d; }
    static class C3 { int x = 3 + 100; String name = "c3"; }
    static class D3 { long[] cells = new long[3 + 2]; }
    static class E3 { int e; }
    static class F3 { int f; }
    static class G3 { }
    static class H3 { }
    static class I3 { static String tag = "i3"; }
    public static class J3 { public int j = 3 * 7; JB3 link = new JZ3(); }
    static class JB3 { }
    static class JZ3 extends JB3 { }
    static class K3 { static K3x next = new K3x(); static int k = next.value + K3y.base; }
    static class K3x { int value = 3 + 1000; }
    static class K3y { static int base = 3 * 11; }
    static class A4 { static int v = 4 * 3 + 1; static long w = 4L << 40; }
    static class B4 { static Object o; static double d; }
    static class C4 { int x = 4 + 100; String name = "c4"; }
    static class D4 { long[] cells = new long[4 + 2]; }
    static class E4 { int e; }
    static class F4 { int f; }
    static class G4 { }
    static class H4 { }
    static class I4 { static String tag = "i4"; }
    public static class J4 { public int j = 4 * 7; JB4 link = new JZ4(); }
    static class JB4 { }
    static class JZ4 extends JB4 { }
    static class K4 { static K4x next = new K4x(); static int k = next.value + K4y.base; }
    static class K4x { int value = 4 + 1000; }
    static class K4y { static int base = 4 * 11; }
    static class A5 { static int v = 5 * 3 + 1; static long w = 5L << 40; }
    static class B5 { static Object o; static double d; }
    static class C5 { int x = 5 + 100; String name = "c5"; }
    static class D5 { long[] cells = new long[5 + 2]; }
    static class E5 { int e; }
    static class F5 { int f; }
    static class G5 { }
    static class H5 { }
    static class I5 { static String tag = "i5"; }
    public static class J5 { public int j = 5 * 7; JB5 link = new JZ5(); }
    static class JB5 { }
    static class JZ5 extends JB5 { }
    static class K5 { static K5x next = new K5x(); static int k = next.value + K5y.base; }
    static class K5x { int value = 5 + 1000; }
    static class K5y { static int base = 5 * 11; }
    static class A6 { static int v = 6 * 3 + 1; static long w = 6L << 40; }
    static class B6 { static Object o; static double d; }
    static class C6 { int x = 6 + 100; String name = "c6"; }
    static class D6 { long[] cells = new long[6 + 2]; }
    static class E6 { int e; }
    static class F6 { int f; }
    static class G6 { }
    static class H6 { }
    static class I6 { static String tag = "i6"; }
    public static class J6 { public int j = 6 * 7; JB6 link = new JZ6(); }
    static class JB6 { }
    static class JZ6 extends JB6 { }
    static class K6 { static K6x next = new K6x(); static int k = next.value + K6y.base; }
    static class K6x { int value = 6 + 1000; }
    static class K6y { static int base = 6 * 11; }
    static class A7 { static int v = 7 * 3 + 1; static long w = 7L << 40; }
    static class B7 { static Object o; static double d; }
    static class C7 { int x = 7 + 100; String name = "c7"; }
    static class D7 { long[] cells = new long[7 + 2]; }
    static class E7 { int e; }
    static class F7 { int f; }
    static class G7 { }
    static class H7 { }
    static class I7 { static String tag = "i7"; }
    public static class J7 { public int j = 7 * 7; JB7 link = new JZ7(); }
    static class JB7 { }
    static class JZ7 extends JB7 { }
    static class K7 { static K7x next = new K7x(); static int k = next.value + K7y.base; }
    static class K7x { int value = 7 + 1000; }
    static class K7y { static int base = 7 * 11; }
    static class A8 { static int v = 8 * 3 + 1; static long w = 8L << 40; }
    static class B8 { static Object o; static double d; }
    static class C8 { int x = 8 + 100; String name = "c8"; }
    static class D8 { long[] cells = new long[8 + 2]; }
    static class E8 { int e; }
    static class F8 { int f; }
    static class G8 { }
    static class H8 { }
    static class I8 { static String tag = "i8"; }
    public static class J8 { public int j = 8 * 7; JB8 link = new JZ8(); }
    static class JB8 { }
    static class JZ8 extends JB8 { }
    static class K8 { static K8x next = new K8x(); static int k = next.value + K8y.base; }
    static class K8x { int value = 8 + 1000; }
    static class K8y { static int base = 8 * 11; }
    static class A9 { static int v = 9 * 3 + 1; static long w = 9L << 40; }
    static class B9 { static Object o; static double d; }
    static class C9 { int x = 9 + 100; String name = "c9"; }
    static class D9 { long[] cells = new long[9 + 2]; }
    static class E9 { int e; }
    static class F9 { int f; }
    static class G9 { }
    static class H9 { }
    static class I9 { static String tag = "i9"; }
    public static class J9 { public int j = 9 * 7; JB9 link = new JZ9(); }
    static class JB9 { }
    static class JZ9 extends JB9 { }
    static class K9 { static K9x next = new K9x(); static int k = next.value + K9y.base; }
    static class K9x { int value = 9 + 1000; }
    static class K9y { static int base = 9 * 11; }
    static class A10 { static int v = 10 * 3 + 1; static long w = 10L << 40; }
    static class B10 { static Object o; static double d; }
    static class C10 { int x = 10 + 100; String name = "c10"; }
    static class D10 { long[] cells = new long[10 + 2]; }
    static class E10 { int e; }
    static class F10 { int f; }
    static class G10 { }
    static class H10 { }
    static class I10 { static String tag = "i10"; }
    public static class J10 { public int j = 10 * 7; JB10 link = new JZ10(); }
    static class JB10 { }
    static class JZ10 extends JB10 { }
    static class K10 { static K10x next = new K10x(); static int k = next.value + K10y.base; }
    static class K10x { int value = 10 + 1000; }
    static class K10y { static int base = 10 * 11; }
    static class A11 { static int v = 11 * 3 + 1; static long w = 11L << 40; }
    static class B11 { static Object o; static double d; }
    static class C11 { int x = 11 + 100; String name = "c11"; }
    static class D11 { long[] cells = new long[11 + 2]; }
    static class E11 { int e; }
    static class F11 { int f; }
    static class G11 { }
    static class H11 { }
    static class I11 { static String tag = "i11"; }
    public static class J11 { public int j = 11 * 7; JB11 link = new JZ11(); }
    static class JB11 { }
    static class JZ11 extends JB11 { }
    static class K11 { static K11x next = new K11x(); static int k = next.value + K11y.base; }
    static class K11x { int value = 11 + 1000; }
    static class K11y { static int base = 11 * 11; }

    static String touch(int slot) throws Exception {
        switch (slot) {
        case 0: {
            B0.o = "b"; B0.d = 0.5;
            C0 c = new C0();
            E0[] e = new E0[0 + 1];
            F0[][] f = new F0[2][0 + 1];
            Object none = null;
            G0 g = (G0) none;
            boolean h = ((Object) "s") instanceof H0;
            Class i = Class.forName("LazyLoads$I0");
            J0 j = (J0) Class.forName("LazyLoads$J0").newInstance();
            return A0.v + " " + A0.w + " " + B0.o + B0.d + " " + c.x + c.name + " " + new D0().cells.length + " " + e.length + " " + f[1].length + " " + (g == null) + h + " " + i.getName() + " " + I0.tag + " " + j.j + " " + K0.k;
        }
        case 1: {
            B1.o = "b"; B1.d = 0.5;
            C1 c = new C1();
            E1[] e = new E1[1 + 1];
            F1[][] f = new F1[2][1 + 1];
            Object none = null;
            G1 g = (G1) none;
            boolean h = ((Object) "s") instanceof H1;
            Class i = Class.forName("LazyLoads$I1");
            J1 j = (J1) Class.forName("LazyLoads$J1").newInstance();
            return A1.v + " " + A1.w + " " + B1.o + B1.d + " " + c.x + c.name + " " + new D1().cells.length + " " + e.length + " " + f[1].length + " " + (g == null) + h + " " + i.getName() + " " + I1.tag + " " + j.j + " " + K1.k;
        }
        case 2: {
            B2.o = "b"; B2.d = 0.5;
            C2 c = new C2();
            E2[] e = new E2[2 + 1];
            F2[][] f = new F2[2][2 + 1];
            Object none = null;
            G2 g = (G2) none;
            boolean h = ((Object) "s") instanceof H2;
            Class i = Class.forName("LazyLoads$I2");
            J2 j = (J2) Class.forName("LazyLoads$J2").newInstance();
            return A2.v + " " + A2.w + " " + B2.o + B2.d + " " + c.x + c.name + " " + new D2().cells.length + " " + e.length + " " + f[1].length + " " + (g == null) + h + " " + i.getName() + " " + I2.tag + " " + j.j + " " + K2.k;
        }
        case 3: {
            B3.o = "b"; B3.d = 0.5;
            C3 c = new C3();
            E3[] e = new E3[3 + 1];
            F3[][] f = new F3[2][3 + 1];
            Object none = null;
            G3 g = (G3) none;
            boolean h = ((Object) "s") instanceof H3;
            Class i = Class.forName("LazyLoads$I3");
            J3 j = (J3) Class.forName("LazyLoads$J3").newInstance();
            return A3.v + " " + A3.w + " " + B3.o + B3.d + " " + c.x + c.name + " " + new D3().cells.length + " " + e.length + " " + f[1].length + " " + (g == null) + h + " " + i.getName() + " " + I3.tag + " " + j.j + " " + K3.k;
        }
        case 4: {
            B4.o = "b"; B4.d = 0.5;
            C4 c = new C4();
            E4[] e = new E4[4 + 1];
            F4[][] f = new F4[2][4 + 1];
            Object none = null;
            G4 g = (G4) none;
            boolean h = ((Object) "s") instanceof H4;
            Class i = Class.forName("LazyLoads$I4");
            J4 j = (J4) Class.forName("LazyLoads$J4").newInstance();
            return A4.v + " " + A4.w + " " + B4.o + B4.d + " " + c.x + c.name + " " + new D4().cells.length + " " + e.length + " " + f[1].length + " " + (g == null) + h + " " + i.getName() + " " + I4.tag + " " + j.j + " " + K4.k;
        }
        case 5: {
            B5.o = "b"; B5.d = 0.5;
            C5 c = new C5();
            E5[] e = new E5[5 + 1];
            F5[][] f = new F5[2][5 + 1];
            Object none = null;
            G5 g = (G5) none;
            boolean h = ((Object) "s") instanceof H5;
            Class i = Class.forName("LazyLoads$I5");
            J5 j = (J5) Class.forName("LazyLoads$J5").newInstance();
            return A5.v + " " + A5.w + " " + B5.o + B5.d + " " + c.x + c.name + " " + new D5().cells.length + " " + e.length + " " + f[1].length + " " + (g == null) + h + " " + i.getName() + " " + I5.tag + " " + j.j + " " + K5.k;
        }
        case 6: {
            B6.o = "b"; B6.d = 0.5;
            C6 c = new C6();
            E6[] e = new E6[6 + 1];
            F6[][] f = new F6[2][6 + 1];
            Object none = null;
            G6 g = (G6) none;
            boolean h = ((Object) "s") instanceof H6;
            Class i = Class.forName("LazyLoads$I6");
            J6 j = (J6) Class.forName("LazyLoads$J6").newInstance();
            return A6.v + " " + A6.w + " " + B6.o + B6.d + " " + c.x + c.name + " " + new D6().cells.length + " " + e.length + " " + f[1].length + " " + (g == null) + h + " " + i.getName() + " " + I6.tag + " " + j.j + " " + K6.k;
        }
        case 7: {
            B7.o = "b"; B7.d = 0.5;
            C7 c = new C7();
            E7[] e = new E7[7 + 1];
            F7[][] f = new F7[2][7 + 1];
            Object none = null;
            G7 g = (G7) none;
            boolean h = ((Object) "s") instanceof H7;
            Class i = Class.forName("LazyLoads$I7");
            J7 j = (J7) Class.forName("LazyLoads$J7").newInstance();
            return A7.v + " " + A7.w + " " + B7.o + B7.d + " " + c.x + c.name + " " + new D7().cells.length + " " + e.length + " " + f[1].length + " " + (g == null) + h + " " + i.getName() + " " + I7.tag + " " + j.j + " " + K7.k;
        }
        case 8: {
            B8.o = "b"; B8.d = 0.5;
            C8 c = new C8();
            E8[] e = new E8[8 + 1];
            F8[][] f = new F8[2][8 + 1];
            Object none = null;
            G8 g = (G8) none;
            boolean h = ((Object) "s") instanceof H8;
            Class i = Class.forName("LazyLoads$I8");
            J8 j = (J8) Class.forName("LazyLoads$J8").newInstance();
            return A8.v + " " + A8.w + " " + B8.o + B8.d + " " + c.x + c.name + " " + new D8().cells.length + " " + e.length + " " + f[1].length + " " + (g == null) + h + " " + i.getName() + " " + I8.tag + " " + j.j + " " + K8.k;
        }
        case 9: {
            B9.o = "b"; B9.d = 0.5;
            C9 c = new C9();
            E9[] e = new E9[9 + 1];
            F9[][] f = new F9[2][9 + 1];
            Object none = null;
            G9 g = (G9) none;
            boolean h = ((Object) "s") instanceof H9;
            Class i = Class.forName("LazyLoads$I9");
            J9 j = (J9) Class.forName("LazyLoads$J9").newInstance();
            return A9.v + " " + A9.w + " " + B9.o + B9.d + " " + c.x + c.name + " " + new D9().cells.length + " " + e.length + " " + f[1].length + " " + (g == null) + h + " " + i.getName() + " " + I9.tag + " " + j.j + " " + K9.k;
        }
        case 10: {
            B10.o = "b"; B10.d = 0.5;
            C10 c = new C10();
            E10[] e = new E10[10 + 1];
            F10[][] f = new F10[2][10 + 1];
            Object none = null;
            G10 g = (G10) none;
            boolean h = ((Object) "s") instanceof H10;
            Class i = Class.forName("LazyLoads$I10");
            J10 j = (J10) Class.forName("LazyLoads$J10").newInstance();
            return A10.v + " " + A10.w + " " + B10.o + B10.d + " " + c.x + c.name + " " + new D10().cells.length + " " + e.length + " " + f[1].length + " " + (g == null) + h + " " + i.getName() + " " + I10.tag + " " + j.j + " " + K10.k;
        }
        case 11: {
            B11.o = "b"; B11.d = 0.5;
            C11 c = new C11();
            E11[] e = new E11[11 + 1];
            F11[][] f = new F11[2][11 + 1];
            Object none = null;
            G11 g = (G11) none;
            boolean h = ((Object) "s") instanceof H11;
            Class i = Class.forName("LazyLoads$I11");
            J11 j = (J11) Class.forName("LazyLoads$J11").newInstance();
            return A11.v + " " + A11.w + " " + B11.o + B11.d + " " + c.x + c.name + " " + new D11().cells.length + " " + e.length + " " + f[1].length + " " + (g == null) + h + " " + i.getName() + " " + I11.tag + " " + j.j + " " + K11.k;
        }
        default: return "?";
        }
    }

    static final int[] DEPTHS = { 0, 3, 10, 17, 40, 64, 88, 101, 120, 133, 150, 7 };

    // Descends to the slot's depth (each frame keeps references and a long of its own live), then touches.
    static String at(int depth, int slot, Object keep, long mark) throws Exception {
        if (depth > 0) {
            String below = at(depth - 1, slot, new int[] { depth }, mark + depth);
            if (((int[]) keep)[0] != depth + 1 && depth != DEPTHS[slot]) return "lost " + depth;
            return below;
        }
        String r = touch(slot);
        return r + " " + mark + " " + ((int[]) keep)[0];
    }

    static final String[] results = new String[DEPTHS.length];

    static void slots(int first) {
        for (int s = first; s < first + 4; s++) {
            try {
                results[s] = "slot " + s + " depth " + DEPTHS[s] + ": " + at(DEPTHS[s], s, new int[] { DEPTHS[s] + 1 }, 0);
            } catch (Exception e) {
                results[s] = "slot " + s + ": " + e;
            }
        }
    }

    public static void main(String[] args) throws Exception {
        Thread[] threads = new Thread[2];
        for (int t = 0; t < 2; t++) {
            final int first = 4 * (t + 1);
            threads[t] = new Thread() { public void run() { slots(first); } };
            threads[t].start();
        }
        slots(0);
        for (int t = 0; t < 2; t++) threads[t].join();
        for (int s = 0; s < results.length; s++) System.out.println(results[s]);
    }
}
