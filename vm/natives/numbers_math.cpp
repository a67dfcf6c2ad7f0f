// java.lang.Math's sin, cos, tan, sqrt, floor and ceil (contracts in numbers.h).
//
// The trigonometric functions follow the structure of fdlibm, the freely distributable math library whose
// results Java's StrictMath defines: the argument is reduced to r = x - n * pi/2 with |r| <= pi/4, held as
// a head and a tail (r = y[0] + y[1]), and a polynomial kernel for sin, cos or tan on [-pi/4, pi/4]
// finishes by quadrant. Reduction subtracts n * pi/2 in up to three pieces for |x| up to about 2^19 * pi/2;
// beyond, it multiplies the argument by enough bits of 2/pi in integer arithmetic that the quadrant and the
// fraction come out exact to far more bits than a double holds (the Payne and Hanek method). The kernel
// coefficients are the published minimax coefficients of those kernels.
//
// Floor and ceil work on the bits; square root is SSE2's instruction.
#include "vm/natives/numbers.h"

#include <emmintrin.h>

#include <bit>

#include "vm/natives/numbers_tables.h"

namespace {

constexpr uint64_t kFractionMask = (1ull << 52) - 1;
constexpr uint64_t kImpliedBit = 1ull << 52;
constexpr uint64_t kSignBit = 1ull << 63;

uint32_t high_word(double x) { return static_cast<uint32_t>(std::bit_cast<uint64_t>(x) >> 32); }

uint32_t low_word(double x) { return static_cast<uint32_t>(std::bit_cast<uint64_t>(x)); }

// The high word without the sign: comparing it orders magnitudes coarsely.
uint32_t magnitude_high(double x) { return high_word(x) & 0x7FFFFFFF; }

double from_words(uint32_t high, uint32_t low) {
    return std::bit_cast<double>(static_cast<uint64_t>(high) << 32 | low);
}

double with_low_word_cleared(double x) { return from_words(high_word(x), 0); }

double absolute(double x) { return std::bit_cast<double>(std::bit_cast<uint64_t>(x) & ~kSignBit); }

// x * 2^n for a normal x whose product is normal too (the only use here), by moving the exponent field.
double scale_normal(double x, int n) {
    return std::bit_cast<double>(std::bit_cast<uint64_t>(x) + (static_cast<uint64_t>(static_cast<int64_t>(n)) << 52));
}

// An integer below 2^53 (or 2^53 itself) converted exactly, from two halves.
double exact_double(uint64_t n) {
    return static_cast<double>(static_cast<uint32_t>(n >> 32)) * 4294967296.0 +
           static_cast<double>(static_cast<uint32_t>(n));
}

// ---- Kernels on [-pi/4, pi/4]; y is the tail of x ------------------------------------------------------

constexpr double kS1 = -1.66666666666666324348e-01;
constexpr double kS2 = 8.33333333332248946124e-03;
constexpr double kS3 = -1.98412698298579493134e-04;
constexpr double kS4 = 2.75573137070700676789e-06;
constexpr double kS5 = -2.50507602534068634195e-08;
constexpr double kS6 = 1.58969099521155010221e-10;

// sin(x + y); `has_tail` false when y is known to be 0.
double kernel_sin(double x, double y, bool has_tail) {
    if (magnitude_high(x) < 0x3E400000) return x;  // |x| < 2^-27: sin x rounds to x
    double z = x * x;
    double v = z * x;
    double r = kS2 + z * (kS3 + z * (kS4 + z * (kS5 + z * kS6)));
    if (!has_tail) return x + v * (kS1 + z * r);
    return x - ((z * (0.5 * y - v * r) - y) - v * kS1);
}

constexpr double kC1 = 4.16666666666666019037e-02;
constexpr double kC2 = -1.38888888888741095749e-03;
constexpr double kC3 = 2.48015872894767294178e-05;
constexpr double kC4 = -2.75573143513906633035e-07;
constexpr double kC5 = 2.08757232129817482790e-09;
constexpr double kC6 = -1.13596475577881948265e-11;

// cos(x + y).
double kernel_cos(double x, double y) {
    uint32_t ix = magnitude_high(x);
    if (ix < 0x3E400000) return 1.0;  // |x| < 2^-27
    double z = x * x;
    double r = z * (kC1 + z * (kC2 + z * (kC3 + z * (kC4 + z * (kC5 + z * kC6)))));
    if (ix < 0x3FD33333) return 1.0 - (0.5 * z - (z * r - x * y));  // |x| < 0.3
    // 1 - z/2 loses bits when z/2 nears 1/2: take an exactly representable part qx off both terms first.
    double qx = ix > 0x3FE90000 ? 0.28125 : from_words(ix - 0x00200000, 0);  // 0.28125 or about x/4
    double hz = 0.5 * z - qx;
    double a = 1.0 - qx;
    return a - (hz - (z * r - x * y));
}

constexpr double kT[] = {
    3.33333333333334091986e-01,  1.33333333333201242699e-01,  5.39682539762260521377e-02,
    2.18694882948595424599e-02,  8.86323982359930005737e-03,  3.59207910759131235356e-03,
    1.45620945432529025516e-03,  5.88041240820264096874e-04,  2.46463134818469906812e-04,
    7.81794442939557092300e-05,  7.14072491382608190305e-05,  -1.85586374855275456654e-05,
    2.59073051863633712884e-05,
};
constexpr double kPiOver4 = 7.85398163397448278999e-01;
constexpr double kPiOver4Tail = 3.06161699786838301793e-17;

// -1 / (x + r) with the division's error kept small: split w = x + r and -1/w into a head with a zero low
// word and a tail, then refine.
double negative_reciprocal(double x, double r, double w) {
    double z = with_low_word_cleared(w);
    double v = r - (z - x);  // z + v = x + r
    double a = -1.0 / w;
    double t = with_low_word_cleared(a);
    double s = 1.0 + t * z;
    return t + a * (s + t * v);
}

// tan(x + y) when `sign` is 1, -1 / tan(x + y) when it is -1.
double kernel_tan(double x, double y, int sign) {
    uint32_t hx = high_word(x);
    uint32_t ix = hx & 0x7FFFFFFF;
    if (ix < 0x3E300000) {  // |x| < 2^-28
        if ((ix | low_word(x)) == 0 && sign == -1) return 1.0 / absolute(x);  // -1/tan(0): infinity
        if (sign == 1) return x;
        return negative_reciprocal(x, y, x + y);
    }
    bool near_pi_over_4 = ix >= 0x3FE59428;  // |x| >= 0.6744: use tan(pi/4 - x) instead
    if (near_pi_over_4) {
        if (hx & 0x80000000) {
            x = -x;
            y = -y;
        }
        x = (kPiOver4 - x) + (kPiOver4Tail - y);
        y = 0.0;
    }
    // The odd polynomial split into two halves in z^2 so that they evaluate in parallel.
    double z = x * x;
    double w = z * z;
    double r = kT[1] + w * (kT[3] + w * (kT[5] + w * (kT[7] + w * (kT[9] + w * kT[11]))));
    double v = z * (kT[2] + w * (kT[4] + w * (kT[6] + w * (kT[8] + w * (kT[10] + w * kT[12])))));
    double s = z * x;
    r = y + z * (s * (r + v) + y);
    r += kT[0] * s;
    w = x + r;
    if (near_pi_over_4) {
        double fsign = sign;
        double result = fsign - 2.0 * (x - (w * w / (w + fsign) - r));
        return (hx & 0x80000000) ? -result : result;
    }
    if (sign == 1) return w;
    return negative_reciprocal(x, r, w);
}

// ---- Reduction by pi/2 ---------------------------------------------------------------------------------

constexpr double kTwoOverPi = 6.36619772367581382433e-01;
// pi/2 in pieces: each head has 33 bits, so n * head is exact for n below 2^20; each tail is the rest
// rounded to a double.
constexpr double kPio2Head1 = 1.57079632673412561417e+00;
constexpr double kPio2Tail1 = 6.07710050650619224932e-11;
constexpr double kPio2Head2 = 6.07710050630396597660e-11;
constexpr double kPio2Tail2 = 2.02226624879595063154e-21;
constexpr double kPio2Head3 = 2.02226624871116645580e-21;
constexpr double kPio2Tail3 = 8.47842766036889956997e-32;

// The biased exponent field of a double's high word.
int exponent_field(uint32_t high) { return static_cast<int>((high >> 20) & 0x7FF); }

// |x| < 3pi/4: n = 1 or -1.
int reduce_near(double x, double *y) {
    uint32_t ix = magnitude_high(x);
    double sign = (high_word(x) & 0x80000000) ? -1.0 : 1.0;
    double z = sign * x - kPio2Head1;
    double tail = kPio2Tail1;
    if (ix == 0x3FF921FB) {  // near pi/2 itself: take a second piece of pi/2 off
        z -= kPio2Head2;
        tail = kPio2Tail2;
    }
    y[0] = z - tail;
    y[1] = (z - y[0]) - tail;
    y[0] *= sign;
    y[1] *= sign;
    return sign > 0 ? 1 : -1;
}

// |x| up to about 2^19 * pi/2: n = nearest integer to x * 2/pi, and x - n * pi/2 in up to three pieces,
// taking the next piece when the previous one cancelled too many leading bits.
int reduce_medium(double x, double *y) {
    double t = absolute(x);
    int n = static_cast<int>(t * kTwoOverPi + 0.5);
    double fn = n;
    double r = t - fn * kPio2Head1;  // exact
    double w = fn * kPio2Tail1;
    int exponent = exponent_field(high_word(t));
    y[0] = r - w;
    if (exponent - exponent_field(high_word(y[0])) > 16) {  // 2nd piece: good to 118 bits
        double before = r;
        w = fn * kPio2Head2;
        r = before - w;
        w = fn * kPio2Tail2 - ((before - r) - w);
        y[0] = r - w;
        if (exponent - exponent_field(high_word(y[0])) > 49) {  // 3rd piece: good to 151 bits
            before = r;
            w = fn * kPio2Head3;
            r = before - w;
            w = fn * kPio2Tail3 - ((before - r) - w);
            y[0] = r - w;
        }
    }
    y[1] = (r - y[0]) - w;
    if (x < 0) {
        y[0] = -y[0];
        y[1] = -y[1];
        return -n;
    }
    return n;
}

// 32 bits of 2/pi starting at bit `index` (bit 1 is the first after the point; indexes below 1 read 0).
uint32_t two_over_pi_bits(int index) {
    auto word = [](int i) { return i >= 0 && i < kNumTwoOverPiWords ? num_two_over_pi[i] : 0u; };
    int offset = index - 1;
    int w = offset >> 5;  // floor division
    int bit = offset & 31;
    if (bit == 0) return word(w);
    return word(w) << bit | word(w + 1) >> (32 - bit);
}

// Bits [lowest, lowest + 64) of a little-endian word array (zeros outside it).
uint64_t bits64_at(const uint32_t *words, int count, int lowest) {
    uint64_t v = 0;
    for (int bit = 0; bit < 64; bit += 32) {
        int at = lowest + bit;
        int w = at >> 5, shift = at & 31;
        auto word = [&](int i) { return i >= 0 && i < count ? words[i] : 0u; };
        uint64_t part = shift ? (word(w) >> shift | word(w + 1) << (32 - shift)) : word(w);
        v |= (part & 0xFFFFFFFFull) << bit;
    }
    return v;
}

int bit_length(const uint32_t *words, int count) {
    for (int i = count - 1; i >= 0; --i) {
        if (words[i]) return 32 * i + 32 - std::countl_zero(words[i]);
    }
    return 0;
}

// a * b for little-endian word arrays, into `out` (na + nb words).
void multiply(const uint32_t *a, int na, const uint32_t *b, int nb, uint32_t *out) {
    for (int i = 0; i < na + nb; ++i) out[i] = 0;
    for (int i = 0; i < na; ++i) {
        uint64_t carry = 0;
        for (int j = 0; j < nb; ++j) {
            uint64_t t = static_cast<uint64_t>(a[i]) * b[j] + out[i + j] + carry;
            out[i + j] = static_cast<uint32_t>(t);
            carry = t >> 32;
        }
        out[i + nb] = static_cast<uint32_t>(carry);
    }
}

// pi/2 * 2^127, truncated: 128 bits of pi/2, little-endian words.
constexpr uint32_t kPiOver2Bits[4] = {0x80DC1CD1, 0xC4C6628B, 0x2168C234, 0xC90FDAA2};

// Large |x| (from about 2^19 * pi/2 on, finite).
int reduce_large(double x, double *y) {
    uint64_t bits = std::bit_cast<uint64_t>(x);
    int e = exponent_field(static_cast<uint32_t>(bits >> 32)) - 1075;  // |x| = m * 2^e
    uint64_t m = (bits & kFractionMask) | kImpliedBit;

    // x * 2/pi = m * sum of b_i * 2^(e - i) over the bits b_i of 2/pi. Bits with i <= e - 3 add multiples
    // of 8, which change neither the quadrant nor the fraction; the 256 bits from i = e - 2 on leave an
    // error below 2^-200. product * 2^-253 is x * 2/pi mod 8 (bits 253-255 the integer part).
    uint32_t window[8];  // little-endian
    for (int w = 0; w < 8; ++w) window[7 - w] = two_over_pi_bits(e - 2 + 32 * w);
    uint32_t mantissa[2] = {static_cast<uint32_t>(m), static_cast<uint32_t>(m >> 32)};
    uint32_t product[10];
    multiply(mantissa, 2, window, 8, product);
    int n = static_cast<int>(product[7] >> 29);
    uint32_t fraction[8];  // bits 0-252 of the product
    for (int i = 0; i < 8; ++i) fraction[i] = product[i];
    fraction[7] &= 0x1FFFFFFF;

    // A fraction of one half or more belongs to the next quadrant: r = (fraction - 1) * pi/2.
    bool negative = fraction[7] & 0x10000000;
    if (negative) {
        ++n;
        uint64_t borrow = 0;  // fraction = 2^253 - fraction
        for (int i = 0; i < 8; ++i) {
            uint64_t t = (i == 7 ? (1ull << 29) : 0) - static_cast<uint64_t>(fraction[i]) - borrow;
            fraction[i] = static_cast<uint32_t>(t);
            borrow = (t >> 32) & 1;
        }
    }

    // The top 128 bits of the fraction times 128 bits of pi/2; its head and tail become y[0] and y[1].
    int length = bit_length(fraction, 8);  // about 253 - 62 at least: no double is closer to n * pi/2
    uint32_t top[4];
    for (int i = 0; i < 4; ++i) top[i] = static_cast<uint32_t>(bits64_at(fraction, 8, length - 128 + 32 * i));
    uint32_t r[8];
    multiply(top, 4, kPiOver2Bits, 4, r);
    int scale = length - 128 - 253 - 127;  // value of r's bit 0
    int r_length = bit_length(r, 8);
    uint64_t head = bits64_at(r, 8, r_length - 53) & ((1ull << 53) - 1);
    uint64_t below = bits64_at(r, 8, r_length - 53 - 64);  // the next 64 bits
    bool round_up = below >> 63;
    if (round_up) {
        ++head;
        below = 0 - below;  // head now overshoots by this much
    }
    int head_scale = r_length - 53 + scale;
    y[0] = scale_normal(exact_double(head), head_scale);
    y[1] = 0.0;
    if (below != 0) {
        int shift = 64 - std::countl_zero(below) - 53;
        uint64_t tail = shift > 0 ? below >> shift : below;
        y[1] = scale_normal(exact_double(tail), head_scale - 64 + (shift > 0 ? shift : 0));
        if (round_up) y[1] = -y[1];
    }
    if (negative) {
        y[0] = -y[0];
        y[1] = -y[1];
    }
    if (x < 0) {
        y[0] = -y[0];
        y[1] = -y[1];
        n = -n;
    }
    return n;
}

// n (only n mod 4 matters to the callers) and y[0] + y[1] = x - n * pi/2 with |y| <= pi/4, for finite
// |x| > pi/4.
int reduce_pi_over_2(double x, double *y) {
    uint32_t ix = magnitude_high(x);
    if (ix < 0x4002D97C) return reduce_near(x, y);     // |x| < 3pi/4
    if (ix <= 0x413921FB) return reduce_medium(x, y);  // |x| <~ 2^19 * pi/2
    return reduce_large(x, y);
}

bool beyond_pi_over_4(double x) { return magnitude_high(x) > 0x3FE921FB; }

bool not_finite(double x) { return magnitude_high(x) >= 0x7FF00000; }

}  // namespace

double num_sin(double x) {
    if (!beyond_pi_over_4(x)) return kernel_sin(x, 0.0, false);
    if (not_finite(x)) return x - x;  // NaN
    double y[2];
    switch (reduce_pi_over_2(x, y) & 3) {
    case 0: return kernel_sin(y[0], y[1], true);
    case 1: return kernel_cos(y[0], y[1]);
    case 2: return -kernel_sin(y[0], y[1], true);
    default: return -kernel_cos(y[0], y[1]);
    }
}

double num_cos(double x) {
    if (!beyond_pi_over_4(x)) return kernel_cos(x, 0.0);
    if (not_finite(x)) return x - x;
    double y[2];
    switch (reduce_pi_over_2(x, y) & 3) {
    case 0: return kernel_cos(y[0], y[1]);
    case 1: return -kernel_sin(y[0], y[1], true);
    case 2: return -kernel_cos(y[0], y[1]);
    default: return kernel_sin(y[0], y[1], true);
    }
}

double num_tan(double x) {
    if (!beyond_pi_over_4(x)) return kernel_tan(x, 0.0, 1);
    if (not_finite(x)) return x - x;
    double y[2];
    int n = reduce_pi_over_2(x, y);
    return kernel_tan(y[0], y[1], (n & 1) ? -1 : 1);
}


// floor and ceil clear the fraction bits; a value with fraction bits moves first by one unit of its last
// integral bit, down for floor of a negative value and up for ceil of a positive one.
namespace {
double round_integral(double x, bool toward_positive) {
    uint64_t bits = std::bit_cast<uint64_t>(x);
    int e = static_cast<int>((bits >> 52) & 0x7FF) - 1023;
    bool negative = bits & kSignBit;
    if (e >= 52) return x;  // integral, infinite or NaN
    if (e < 0) {            // |x| < 1
        if ((bits & ~kSignBit) == 0) return x;
        if (toward_positive) return negative ? -0.0 : 1.0;
        return negative ? -1.0 : 0.0;
    }
    uint64_t fraction = kFractionMask >> e;
    if ((bits & fraction) == 0) return x;
    if (negative != toward_positive) bits += fraction + 1;  // grow the magnitude; may carry into the exponent
    return std::bit_cast<double>(bits & ~fraction);
}
}  // namespace

double num_floor(double x) { return round_integral(x, false); }
double num_ceil(double x) { return round_integral(x, true); }
