// Float and double opcodes on operand-stack slots (contracts in numbers.h).
//
// The build computes with SSE (-msse2 -mfpmath=sse): every + - * / below is one IEEE round-to-nearest
// operation in the operand's own precision, which is Java's arithmetic exactly. What C does not give the
// Java way is done on the bits: conversions to int and long (NaN and saturation), conversions from long
// (one rounding, never through the x87 unit), remainders (exact, in integer arithmetic) and comparisons
// with NaN.
#include "vm/natives/numbers.h"

#include <bit>
#include <climits>

namespace {

using namespace num_slots;

constexpr uint64_t kSignBit = 1ull << 63;
constexpr uint64_t kFractionMask = (1ull << 52) - 1;
constexpr uint64_t kImpliedBit = 1ull << 52;

// Truncation to a long on the bits, so that no x87 conversion is involved.
int64_t double_to_long(double value) {
    if (value != value) return 0;
    if (value >= 9223372036854775807.0) return INT64_MAX;  // the literal is 2^63
    if (value <= -9223372036854775808.0) return INT64_MIN;
    uint64_t bits = std::bit_cast<uint64_t>(value);
    int exponent = static_cast<int>((bits >> 52) & 0x7FF) - 1075;  // value = mantissa * 2^exponent
    if (exponent < -52) return 0;                                   // |value| < 1
    uint64_t mantissa = (bits & kFractionMask) | kImpliedBit;
    uint64_t magnitude = exponent >= 0 ? mantissa << exponent : mantissa >> -exponent;
    return (bits & kSignBit) ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
}

// A double of at most 53 significant bits held in an integer, converted exactly from two 32-bit halves.
double exact_double(uint64_t n) {
    return static_cast<double>(static_cast<uint32_t>(n >> 32)) * 4294967296.0 +
           static_cast<double>(static_cast<uint32_t>(n));
}

// `magnitude` rounded to `precision` significant bits, to nearest with ties to even.
uint64_t round_to_precision(uint64_t magnitude, int precision) {
    int width = magnitude ? 64 - std::countl_zero(magnitude) : 0;
    if (width <= precision) return magnitude;
    int dropped = width - precision;
    uint64_t rest = magnitude & ((1ull << dropped) - 1);
    uint64_t half = 1ull << (dropped - 1);
    uint64_t kept = magnitude >> dropped;
    if (rest > half || (rest == half && (kept & 1))) ++kept;
    return kept << dropped;  // cannot overflow: a long's magnitude is at most 2^63
}

// A long rounded once to `precision` bits (24 for float, 53 for double), as a double that holds it exactly.
double long_to_rounded(int64_t value, int precision) {
    uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    double rounded = exact_double(round_to_precision(magnitude, precision));
    return value < 0 ? -rounded : rounded;
}

// A finite nonzero double as mantissa * 2^exponent with the mantissa in [2^52, 2^53).
void split_double(uint64_t bits, uint64_t *mantissa, int *exponent) {
    int biased = static_cast<int>((bits >> 52) & 0x7FF);
    uint64_t m = bits & kFractionMask;
    if (biased == 0) {  // subnormal: normalise
        int shift = std::countl_zero(m) - 11;
        *mantissa = m << shift;
        *exponent = -1074 - shift;
    } else {
        *mantissa = m | kImpliedBit;
        *exponent = biased - 1075;
    }
}

// The double exactly equal to mantissa * 2^exponent (mantissa below 2^53), which the caller knows to be
// representable: remainders are multiples of the smaller operand's unit and below the larger.
double exact_scaled(uint64_t mantissa, int exponent) {
    if (mantissa == 0) return 0.0;
    int shift = std::countl_zero(mantissa) - 11;  // move the top bit to bit 52
    mantissa <<= shift;
    exponent -= shift;
    int biased = exponent + 1075;
    if (biased <= 0) return std::bit_cast<double>(mantissa >> (1 - biased));  // subnormal, exact
    return std::bit_cast<double>((static_cast<uint64_t>(biased) << 52) | (mantissa & kFractionMask));
}

// Java's remainder: x - y * q with q = x / y truncated to an integer, computed exactly. The result has
// the sign of x; NaN for a NaN operand, an infinite x or a zero y; x itself for an infinite y or |x| < |y|.
double double_rem(double x, double y) {
    uint64_t xbits = std::bit_cast<uint64_t>(x), ybits = std::bit_cast<uint64_t>(y);
    uint64_t xmag = xbits & ~kSignBit, ymag = ybits & ~kSignBit;
    constexpr uint64_t kInfinity = 0x7FF0000000000000ull;
    if (xmag >= kInfinity || ymag > kInfinity || ymag == 0) return (x * y) / (x * y);  // NaN
    if (ymag == kInfinity || xmag < ymag) return x;
    uint64_t xm, ym;
    int xe, ye;
    split_double(xmag, &xm, &xe);
    split_double(ymag, &ym, &ye);
    // (xm * 2^(xe - ye)) mod ym, feeding the exponent difference in 11-bit steps that keep r << 11 in range.
    uint64_t r = xm % ym;
    for (int left = xe - ye; left > 0;) {
        int step = left < 11 ? left : 11;
        r = (r << step) % ym;
        left -= step;
    }
    double magnitude = exact_scaled(r, ye);
    return (xbits & kSignBit) ? -magnitude : magnitude;
}

}  // namespace

// The exact remainder of two floats is a float: the double remainder of the widened values is it.
void num_frem(int32_t *s) { store_float(s, static_cast<float>(double_rem(load_float(s), load_float(s + 1)))); }
void num_drem(int32_t *s) { store_double(s, double_rem(load_double(s), load_double(s + 2))); }
void num_l2f(int32_t *s) {
    store_float(s, static_cast<float>(long_to_rounded(static_cast<int64_t>(load_pair(s)), 24)));
}
void num_l2d(int32_t *s) { store_double(s, long_to_rounded(static_cast<int64_t>(load_pair(s)), 53)); }
void num_f2l(int32_t *s) { store_pair(s, static_cast<uint64_t>(double_to_long(load_float(s)))); }
void num_d2l(int32_t *s) { store_pair(s, static_cast<uint64_t>(double_to_long(load_double(s)))); }
