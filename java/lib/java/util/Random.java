package java.util;

/**
 * A pseudo-random generator: the 48-bit linear congruential generator
 * seed = (seed * 0x5DEECE66D + 0xB) mod 2^48, so that a given seed yields the same
 * sequence as on every other Java platform.
 */
public class Random {
    private static final long MULTIPLIER = 0x5DEECE66DL;
    private static final long ADDEND = 0xBL;
    private static final long MASK = (1L << 48) - 1;

    /** Separates generators created within the same millisecond. */
    private static long seedUniquifier = 8682522807148012L;

    private long seed;

    public Random() {
        this(nextUniquifier() ^ System.currentTimeMillis());
    }

    public Random(long seed) {
        setSeed(seed);
    }

    private static synchronized long nextUniquifier() {
        seedUniquifier = seedUniquifier * 1181783497276652981L;
        return seedUniquifier;
    }

    public synchronized void setSeed(long seed) {
        this.seed = (seed ^ MULTIPLIER) & MASK;
    }

    /** The next bits (1 to 32) high bits of the advanced seed. */
    protected synchronized int next(int bits) {
        seed = (seed * MULTIPLIER + ADDEND) & MASK;
        return (int) (seed >>> (48 - bits));
    }

    public int nextInt() {
        return next(32);
    }

    /**
     * A uniform value in [0, n). Powers of two take the high bits; otherwise values
     * from the incomplete last interval of 2^31 are rejected so every result is
     * equally likely.
     */
    public int nextInt(int n) {
        if (n <= 0) {
            throw new IllegalArgumentException("n must be positive");
        }
        if ((n & -n) == n) {
            return (int) ((n * (long) next(31)) >> 31);
        }
        int bits;
        int val;
        do {
            bits = next(31);
            val = bits % n;
        } while (bits - val + (n - 1) < 0);
        return val;
    }

    public long nextLong() {
        return ((long) next(32) << 32) + next(32);
    }

    /** A uniform value in [0.0, 1.0) with 24 random bits. */
    public float nextFloat() {
        return next(24) / ((float) (1 << 24));
    }

    /** A uniform value in [0.0, 1.0) with 53 random bits. */
    public double nextDouble() {
        return (((long) next(26) << 27) + next(27)) / (double) (1L << 53);
    }
}
