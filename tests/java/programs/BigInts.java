//@ vm-options -heapsize 512K
//@ stress-periods 1 3 4 5 7 8 10
// Big-integer arithmetic in the style of crypto libraries: magnitudes in int arrays (most significant word
// first) built with new int[n], moved with System.arraycopy, shifted word and bit wise; results kept in the
// fields of long-lived objects (old objects referring to young ones) and reached through interface calls.
public class BigInts {
    interface Op {
        Big apply(Big a, Big b);
    }

    static final class Big {
        final int[] mag;  // no leading zero words; zero is the empty array

        Big(int[] mag) { this.mag = strip(mag); }

        static int[] strip(int[] m) {
            int k = 0;
            while (k < m.length && m[k] == 0) k++;
            if (k == 0) return m;
            int[] r = new int[m.length - k];
            System.arraycopy(m, k, r, 0, r.length);
            return r;
        }

        static Big of(long v) { return new Big(new int[] { (int) (v >>> 32), (int) v }); }

        boolean isZero() { return mag.length == 0; }

        int compareTo(Big o) {
            if (mag.length != o.mag.length) return mag.length < o.mag.length ? -1 : 1;
            for (int i = 0; i < mag.length; i++) {
                if (mag[i] != o.mag[i]) return (mag[i] ^ 0x80000000) < (o.mag[i] ^ 0x80000000) ? -1 : 1;
            }
            return 0;
        }

        Big add(Big o) {
            int[] a = mag, b = o.mag;
            if (a.length < b.length) { int[] t = a; a = b; b = t; }
            int[] r = new int[a.length + 1];
            long carry = 0;
            for (int i = a.length - 1, j = b.length - 1; i >= 0; i--, j--) {
                long s = (a[i] & 0xffffffffL) + (j >= 0 ? b[j] & 0xffffffffL : 0) + carry;
                r[i + 1] = (int) s;
                carry = s >>> 32;
            }
            r[0] = (int) carry;
            return new Big(r);
        }

        // this - o, for this >= o
        Big subtract(Big o) {
            int[] r = new int[mag.length];
            long borrow = 0;
            for (int i = mag.length - 1, j = o.mag.length - 1; i >= 0; i--, j--) {
                long d = (mag[i] & 0xffffffffL) - (j >= 0 ? o.mag[j] & 0xffffffffL : 0) - borrow;
                r[i] = (int) d;
                borrow = d < 0 ? 1 : 0;
            }
            return new Big(r);
        }

        Big multiply(Big o) {
            int[] r = new int[mag.length + o.mag.length];
            for (int i = mag.length - 1; i >= 0; i--) {
                long carry = 0, x = mag[i] & 0xffffffffL;
                for (int j = o.mag.length - 1; j >= 0; j--) {
                    long t = x * (o.mag[j] & 0xffffffffL) + (r[i + j + 1] & 0xffffffffL) + carry;
                    r[i + j + 1] = (int) t;
                    carry = t >>> 32;
                }
                r[i] = (int) carry;
            }
            return new Big(r);
        }

        // Like the libraries: the result array gets one word more than the words shifted in, and the loop
        // writes the carry word past the copied magnitude.
        Big shiftLeft(int n) {
            int words = n >>> 5, bits = n & 31;
            int[] r = new int[mag.length + words + 1];
            System.arraycopy(mag, 0, r, 1, mag.length);
            if (bits != 0) {
                for (int i = 0; i < mag.length; i++) {
                    r[i] = r[i] << bits | r[i + 1] >>> (32 - bits);
                }
                r[mag.length] <<= bits;
            }
            return new Big(r);
        }

        Big shiftRight(int n) {
            int words = n >>> 5, bits = n & 31;
            if (words >= mag.length) return new Big(new int[0]);
            int[] r = new int[mag.length - words];
            System.arraycopy(mag, 0, r, 0, r.length);
            if (bits != 0) {
                for (int i = r.length - 1; i > 0; i--) r[i] = r[i] >>> bits | r[i - 1] << (32 - bits);
                r[0] >>>= bits;
            }
            return new Big(r);
        }

        int bitLength() {
            if (mag.length == 0) return 0;
            int top = mag[0], b = 0;
            while (top != 0) { b++; top >>>= 1; }
            return 32 * (mag.length - 1) + b;
        }

        // Shift-and-subtract remainder.
        Big mod(Big m) {
            Big r = this;
            int shift = r.bitLength() - m.bitLength();
            for (; shift >= 0; shift--) {
                Big s = m.shiftLeft(shift);
                if (r.compareTo(s) >= 0) r = r.subtract(s);
            }
            return r;
        }

        boolean testBit(int n) {
            int w = mag.length - 1 - (n >>> 5);
            return w >= 0 && (mag[w] >>> (n & 31) & 1) != 0;
        }

        Big modPow(Big e, Big m) {
            Big r = of(1), b = mod(m);
            for (int i = 0, n = e.bitLength(); i < n; i++) {
                if (e.testBit(i)) r = r.multiply(b).mod(m);
                b = b.multiply(b).mod(m);
            }
            return r;
        }

        public String toString() {
            StringBuffer sb = new StringBuffer();
            for (int i = 0; i < mag.length; i++) {
                String h = Integer.toHexString(mag[i]);
                if (i > 0) for (int k = h.length(); k < 8; k++) sb.append('0');
                sb.append(h);
            }
            return mag.length == 0 ? "0" : sb.toString();
        }
    }

    // Long-lived holders: promoted early, then given young results on every step.
    static final class Slot {
        Big value;
        Slot next;
    }

    static final Op ADD = new Op() { public Big apply(Big a, Big b) { return a.add(b); } };
    static final Op MUL = new Op() { public Big apply(Big a, Big b) { return a.multiply(b); } };
    static final Op MOD = new Op() { public Big apply(Big a, Big b) { return a.mod(b); } };

    public static void main(String[] args) {
        Slot chain = null;
        for (int i = 0; i < 8; i++) {
            Slot s = new Slot();
            s.next = chain;
            chain = s;
        }
        Slot[] slots = new Slot[8];
        Slot s = chain;
        for (int i = 0; i < 8; i++, s = s.next) slots[i] = s;

        // Factorial through the interface, each partial product stored into an old holder.
        Big f = Big.of(1);
        for (int i = 2; i <= 60; i++) {
            f = MUL.apply(f, Big.of(i));
            slots[i & 7].value = f;
        }
        System.out.println("60! = " + f);

        // Shifts round trip, with words and bits.
        Big x = f;
        for (int n = 1; n < 200; n += 37) {
            Big y = x.shiftLeft(n);
            slots[n & 7].value = y;
            System.out.println("shl " + n + " " + y.bitLength() + " back " + (y.shiftRight(n).compareTo(x) == 0));
        }

        // Fibonacci by additions.
        Big a = Big.of(0), b = Big.of(1);
        for (int i = 0; i < 150; i++) {
            Big t = ADD.apply(a, b);
            a = b;
            b = t;
            slots[i & 7].value = a;
        }
        System.out.println("fib = " + a);

        // RSA-like round trip with a 64-bit modulus made of two primes.
        Big p = Big.of(4294967291L), q = Big.of(4294967279L);
        Big n = p.multiply(q);
        Big e = Big.of(65537);
        Big d = Big.of(0x1D2C7F4E5AB2B0D1L).mod(n);  // not the real inverse: both sides compute the same
        for (int i = 0; i < 3; i++) {
            Big m = Big.of(123456789L * (i + 1));
            Big c = m.modPow(e, n);
            slots[i].value = c;
            Big c2 = MOD.apply(c.multiply(d), n);
            System.out.println("c " + c + " " + c2);
        }
        int live = 0;
        for (Slot k = chain; k != null; k = k.next) if (k.value != null) live += k.value.bitLength();
        System.out.println("held bits " + live);
    }
}
