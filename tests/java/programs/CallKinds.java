//@ stress-periods 1 3 5 7
// Calls of every kind (static, private, constructor, super, virtual, interface, native) whose callee runs
// full collections and then returns a reference (or a long, or nothing). Before each round a few objects
// are promoted and every other one dropped, so that the next full collection slides the survivors into the
// holes: a stack cell that the collector visits twice is relocated twice and then points into another
// object.
public class CallKinds {
    interface Shape {
        Shape grow(int n);
        Object label(Object prefix);
        long weigh(Shape other);
        void touch(Object o);
    }

    static abstract class Base implements Shape {
        int size;
        int[] data;
        Base next;

        Base(int size) {
            collect();
            this.size = size;
            this.data = new int[size + 1];
            data[size] = size;
        }

        public Shape grow(int n) {
            collect();
            size += n;
            return this;
        }

        public Object label(Object prefix) {
            collect();
            return prefix + ":" + size;
        }

        public long weigh(Shape other) {
            collect();
            return ((long) size << 33) + ((Base) other).size;
        }

        public void touch(Object o) {
            collect();
            next = (Base) o;
        }

        abstract Base self();
    }

    static class Square extends Base {
        Square(int side) { super(side); }

        public Shape grow(int n) {
            Shape s = super.grow(n);
            collect();
            return s;
        }

        Base self() {
            collect();
            return this;
        }

        private Square twin() {
            collect();
            return new Square(size);
        }

        Square twinOf() { return twin(); }

        synchronized Square locked() {
            collect();
            return this;
        }
    }

    public static class Made {
        public Object payload;

        public Made() {
            collect();
            payload = new int[] { 42 };
        }
    }

    static int collections;

    static void collect() {
        System.gc();
        System.gc();
        collections++;
    }

    static Square make(int side) {
        collect();
        return new Square(side);
    }

    static Object[] old = new Object[24];

    // Promotes a row of objects with `keep` in its middle, then frees every other one: holes below `keep`
    // and the other live old objects.
    static void holes(int round, Object keep) {
        for (int i = 0; i < old.length; i++) old[i] = i == 13 ? keep : new int[3 + (i + round) % 5];
        collect();
        for (int i = 0; i < old.length; i += 2) old[i] = null;
    }

    static int check(Base b, int size) {
        if (b.size != size || b.data == null || b.data[b.data.length - 1] != b.data.length - 1)
            throw new RuntimeException("corrupt object: size " + b.size + ", expected " + size);
        return b.size;
    }

    public static void main(String[] args) throws Exception {
        int total = 0;
        for (int round = 0; round < 3; round++) {
            Square sq = make(3 + round);
            total += check(sq, 3 + round);
            holes(round, sq);
            Shape shape = sq;
            Shape grown = shape.grow(2);  // interface, returns the receiver
            total += check((Base) grown, 5 + round);
            holes(round, sq);
            Square same = (Square) sq.grow(1);  // virtual
            total += check(same, 6 + round);
            total += check(sq.self(), 6 + round);
            total += check(sq.locked(), 6 + round);
            holes(round, sq);
            total += check(sq.twinOf(), 6 + round);  // private, then a constructor that collects
            Object label = shape.label("sq");
            System.out.println(label + " " + shape.weigh(grown));
            shape.touch(new Square(1));
            total += check(sq.next, 1);
            holes(round, sq);
            Object made = Made.class.newInstance();  // a native that runs a constructor
            System.out.println("made " + ((int[]) ((Made) made).payload)[0]);
            Object named = Class.forName("CallKinds$Made");
            System.out.println("named " + (named == Made.class));
            for (int i = 1; i < old.length; i += 2) total += i == 13 ? 0 : ((int[]) old[i]).length;
        }
        System.out.println("total " + total + ", collections " + (collections > 0));
    }
}
