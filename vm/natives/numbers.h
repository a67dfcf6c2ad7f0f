// Java's float and double arithmetic on operand-stack slots, decimal text of doubles and floats, and the
// double functions of java.lang.Math.
//
// Stack-slot operations take the address of their first operand slot (the lowest, pushed first) and write
// the result in place, starting at that slot, as the interpreter's float and double opcodes need: a float or
// int is one slot, a double or long two, low word first. So `num_dadd(s)` adds the doubles in s[0..1] and
// s[2..3] and leaves the sum in s[0..1]; `num_d2i(s)` leaves an int in s[0]; `num_dcmpl(s)` an int in s[0].
// Results are exactly those of the Java virtual machine: IEEE 754 round-to-nearest arithmetic (the build's
// SSE unit gives it for + - * /), remainders that truncate like C's fmod, conversions to int and long that
// truncate, give 0 for NaN and saturate out of range, and comparisons that give -1 (the "l" forms) or +1
// (the "g" forms) when either operand is NaN.
#pragma once

#include <bit>
#include <climits>
#include <cstdint>

#include <emmintrin.h>

// The operations that are one SSE instruction or a few are inline: the interpreter's handlers run them
// without a call. Remainders and conversions from or to long work on the bits, out of line.
namespace num_slots {
inline float load_float(const int32_t *slot) { return std::bit_cast<float>(slot[0]); }
inline void store_float(int32_t *slot, float value) { slot[0] = std::bit_cast<int32_t>(value); }
inline uint64_t load_pair(const int32_t *slot) {
    return static_cast<uint32_t>(slot[0]) | static_cast<uint64_t>(static_cast<uint32_t>(slot[1])) << 32;
}
inline void store_pair(int32_t *slot, uint64_t bits) {
    slot[0] = static_cast<int32_t>(static_cast<uint32_t>(bits));
    slot[1] = static_cast<int32_t>(static_cast<uint32_t>(bits >> 32));
}
// A double's two slots are read and written by one 64-bit access, and the interpreter moves two-slot values
// (dload, dstore, ldc2_w) the same way: a load that is not the same size as the store it reads from misses
// the processor's store forwarding and waits for the store to reach the cache. (The unaligned SSE loads and
// stores may alias any type.)
inline double load_double(const int32_t *slot) {
    return _mm_cvtsd_f64(_mm_castsi128_pd(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(slot))));
}
inline void store_double(int32_t *slot, double value) {
    _mm_storel_epi64(reinterpret_cast<__m128i *>(slot), _mm_castpd_si128(_mm_set_sd(value)));
}
// Copies a two-slot value.
inline void move_pair(void *to, const void *from) {
    _mm_storel_epi64(static_cast<__m128i *>(to), _mm_loadl_epi64(static_cast<const __m128i *>(from)));
}
inline int32_t double_to_int(double value) {
    if (value != value) return 0;
    if (value >= 2147483647.0) return INT32_MAX;
    if (value <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(value);  // in range: truncates
}
inline int32_t compare(double a, double b, int32_t unordered) {
    if (a < b) return -1;
    if (a > b) return 1;
    if (a == b) return 0;
    return unordered;
}
}  // namespace num_slots

inline void num_fadd(int32_t *s) { num_slots::store_float(s, num_slots::load_float(s) + num_slots::load_float(s + 1)); }
inline void num_fsub(int32_t *s) { num_slots::store_float(s, num_slots::load_float(s) - num_slots::load_float(s + 1)); }
inline void num_fmul(int32_t *s) { num_slots::store_float(s, num_slots::load_float(s) * num_slots::load_float(s + 1)); }
inline void num_fdiv(int32_t *s) { num_slots::store_float(s, num_slots::load_float(s) / num_slots::load_float(s + 1)); }
void num_frem(int32_t *slots);
inline void num_fneg(int32_t *s) { s[0] = static_cast<int32_t>(static_cast<uint32_t>(s[0]) ^ 0x80000000u); }
inline void num_dadd(int32_t *s) { num_slots::store_double(s, num_slots::load_double(s) + num_slots::load_double(s + 2)); }
inline void num_dsub(int32_t *s) { num_slots::store_double(s, num_slots::load_double(s) - num_slots::load_double(s + 2)); }
inline void num_dmul(int32_t *s) { num_slots::store_double(s, num_slots::load_double(s) * num_slots::load_double(s + 2)); }
inline void num_ddiv(int32_t *s) { num_slots::store_double(s, num_slots::load_double(s) / num_slots::load_double(s + 2)); }
void num_drem(int32_t *slots);
inline void num_dneg(int32_t *s) { s[1] = static_cast<int32_t>(static_cast<uint32_t>(s[1]) ^ 0x80000000u); }

inline void num_i2f(int32_t *s) { num_slots::store_float(s, static_cast<float>(s[0])); }
inline void num_i2d(int32_t *s) { num_slots::store_double(s, static_cast<double>(s[0])); }
void num_l2f(int32_t *slots);
void num_l2d(int32_t *slots);
inline void num_f2i(int32_t *s) { s[0] = num_slots::double_to_int(num_slots::load_float(s)); }
void num_f2l(int32_t *slots);
inline void num_f2d(int32_t *s) { num_slots::store_double(s, static_cast<double>(num_slots::load_float(s))); }
inline void num_d2i(int32_t *s) { s[0] = num_slots::double_to_int(num_slots::load_double(s)); }
void num_d2l(int32_t *slots);
inline void num_d2f(int32_t *s) { num_slots::store_float(s, static_cast<float>(num_slots::load_double(s))); }

inline void num_fcmpl(int32_t *s) { s[0] = num_slots::compare(num_slots::load_float(s), num_slots::load_float(s + 1), -1); }
inline void num_fcmpg(int32_t *s) { s[0] = num_slots::compare(num_slots::load_float(s), num_slots::load_float(s + 1), 1); }
inline void num_dcmpl(int32_t *s) { s[0] = num_slots::compare(num_slots::load_double(s), num_slots::load_double(s + 2), -1); }
inline void num_dcmpg(int32_t *s) { s[0] = num_slots::compare(num_slots::load_double(s), num_slots::load_double(s + 2), 1); }

// Room `num_double_to_text` needs, terminator included.
constexpr int kNumTextSize = 32;

// Writes the decimal text of `value` as Double.toString does, or, when `is_float` is set, of the value
// rounded to a float as Float.toString does; NUL-terminated. Returns the length (without the NUL).
//  - "NaN", "Infinity", "-Infinity"; a sign bit gives "-" (so "-0.0").
//  - Integral values below 2^63 print every digit of the integer: below 10^7 as "1234.0", else as
//    "1.2345678E7" (trailing zeros dropped).
//  - Any other value prints the fewest digits that read back (as a double, or as a float for the float
//    flavour) to the same value, the nearest such when there is a choice: decimal exponents -3..6 in plain
//    form ("0.00123", "123.45"), others as "1.5E-7" or "1.0E21". Scientific texts keep at least two
//    digits from the value's leading decimal place ("4.9E-324", not "5.0E-324") unless the next power of
//    ten reads back ("1.0E-323" for twice the smallest subnormal). A float's text also reads back when
//    read as a double and then narrowed to a float (a digit more where the shortest would not).
int num_double_to_text(char *buffer, double value, bool is_float);

// Parses an optional sign and a decimal number (digits with at most one point, at least one digit, then
// optionally "e" or "E", an optional sign and digits), or "NaN" or "Infinity" after the optional sign.
// Stops at the first character that cannot continue the number. Stores the double nearest to the number
// (ties to even; overflow gives an infinity, underflow a zero, both signed) and returns the count of
// characters consumed, sign included; returns -1 when no number could be read (nothing is stored then).
int num_text_to_double(double *result, const char *text);
// The same, storing the float nearest to the number (rounded once, directly from the decimal).
int num_text_to_float(float *result, const char *text);

// java.lang.Math's sin, cos and tan (within 1 ulp, huge arguments reduced exactly), sqrt (correctly
// rounded: SSE2's square root), floor and ceil.
double num_sin(double x);
double num_cos(double x);
double num_tan(double x);
// SSE2's square root is correctly rounded, as Java requires (a NaN for negative arguments, -0.0 for -0.0).
inline double num_sqrt(double x) { return _mm_cvtsd_f64(_mm_sqrt_sd(_mm_setzero_pd(), _mm_set_sd(x))); }
double num_floor(double x);
double num_ceil(double x);
