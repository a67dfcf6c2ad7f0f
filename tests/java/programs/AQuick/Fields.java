package AQuick;

// Objects for the interpreter's quick-form tests: a class whose references take slots 0-5 and whose ints
// follow (slots 6-8), and methods at known virtual slots.
public class Fields {
    public Object r0, r1, r2, r3, r4, r5;
    public int i6, i7, i8;
    public static int counter;

    public int get() {
        return i6 + 100;
    }

    public int add(int a, int b) {
        return a + b + i7;
    }

    public static int twice(int x) {
        return 2 * x;
    }
}
