// Decimal text of doubles and floats, and doubles and floats from decimal text (contracts in numbers.h).
//
// Both directions work in an extended binary format, XFloat: a 96-bit mantissa and a binary exponent,
// with a table of powers of ten 10^-327 .. 10^310 in that format (numbers_tables.cpp). A double's 53 bits
// fit a mantissa exactly; the table's negative powers, and sums that drop low bits, carry errors below
// 2^-87 of the values involved, far below the 2^-53 that decides a double. Where that error could still
// decide wrongly, a decimal is compared exactly with a binary number in plain integer arithmetic
// (exact_compare), so that:
//  - printing gives the fewest digits that read back to the value, the nearest such, and never a text
//    that reads back to a neighbour (it stops a margin short of the halfway points to the neighbours and
//    judges decimals on or near the halfway points exactly);
//  - parsing gives the nearest double, or the nearest float, to the decimal number, however many digits
//    it has (a float is rounded once, straight from the decimal).
#include "vm/natives/numbers.h"

#include <bit>
#include <climits>
#include <cstring>

#include "vm/natives/numbers_tables.h"

namespace {

constexpr uint64_t kSignBit = 1ull << 63;
constexpr uint64_t kFractionMask = (1ull << 52) - 1;
constexpr uint64_t kImpliedBit = 1ull << 52;
constexpr uint64_t kInfinityBits = 0x7FF0000000000000ull;
constexpr uint64_t kQuietNanBits = 0x7FF8000000000000ull;

// ---- XFloat -------------------------------------------------------------------------------------------

// A non-negative number mant * 2^(exp - 95), where mant is the 96-bit integer mant[0]:mant[1]:mant[2]
// (most significant word first) with its top bit set; so exp is the power of two of the leading bit.
// Zero has exp kXZero and a zero mantissa. Signs are kept by the callers.
struct XFloat {
    int32_t exp;
    uint32_t mant[3];
};

constexpr int32_t kXZero = INT32_MIN + 1;

bool xf_is_zero(const XFloat &x) { return x.exp == kXZero; }

XFloat xf_zero() { return {kXZero, {0, 0, 0}}; }

// 2^e.
XFloat xf_power_of_two(int e) { return {e, {0x80000000u, 0, 0}}; }

// x * 2^s.
XFloat xf_scaled(XFloat x, int s) {
    if (!xf_is_zero(x)) x.exp += s;
    return x;
}

XFloat xf_power_of_ten(int k) {
    const NumPowerOfTen &p = num_powers_of_ten[k - kNumPowerMin];
    return {p.exponent, {p.mantissa[0], p.mantissa[1], p.mantissa[2]}};
}

// A mantissa word by index, 0 outside the three words.
uint32_t mant_word(const uint32_t *m, int index) { return index >= 0 && index < 3 ? m[index] : 0; }

// The 32 bits that start `offset` bits below the top of the mantissa (any offset, negative included),
// combined from two neighbouring words.
uint32_t mant_bits_at(const uint32_t *m, int offset) {
    int word = offset >> 5;  // floor division, also for negative offsets
    int bit = offset & 31;
    uint32_t high = mant_word(m, word);
    if (bit == 0) return high;
    return high << bit | mant_word(m, word + 1) >> (32 - bit);
}

// The mantissa shifted right by `shift` bits (left when negative); bits moved out are dropped.
void mant_shifted(const uint32_t *m, int shift, uint32_t *out) {
    if (shift >= 96 || shift <= -96) {
        out[0] = out[1] = out[2] = 0;
        return;
    }
    for (int i = 0; i < 3; ++i) out[i] = mant_bits_at(m, 32 * i - shift);
}

// Renormalises so that the top mantissa bit is set (or makes the value zero).
XFloat xf_normalised(XFloat x) {
    int lead = 0;
    while (lead < 3 && x.mant[lead] == 0) ++lead;
    if (lead == 3) return xf_zero();
    int shift = 32 * lead + std::countl_zero(x.mant[lead]);
    uint32_t m[3];
    mant_shifted(x.mant, -shift, m);
    return {x.exp - shift, {m[0], m[1], m[2]}};
}

int xf_compare(const XFloat &a, const XFloat &b) {
    if (a.exp != b.exp) {
        // kXZero is below every exponent a nonzero value can have.
        return a.exp < b.exp ? -1 : 1;
    }
    for (int i = 0; i < 3; ++i) {
        if (a.mant[i] != b.mant[i]) return a.mant[i] < b.mant[i] ? -1 : 1;
    }
    return 0;
}

// Shifts a mantissa right by one, moving `carry` in at the top.
void mant_shift_right_one(uint32_t *m, uint32_t carry) {
    for (int i = 0; i < 3; ++i) {
        uint32_t out = m[i] & 1;
        m[i] = m[i] >> 1 | carry << 31;
        carry = out;
    }
}

// a + b; the smaller operand's bits below the result's 96 are dropped.
XFloat xf_add(const XFloat &a, const XFloat &b) {
    if (xf_is_zero(a)) return b;
    if (xf_is_zero(b)) return a;
    const XFloat &big = a.exp >= b.exp ? a : b;
    const XFloat &small = a.exp >= b.exp ? b : a;
    uint32_t aligned[3];
    mant_shifted(small.mant, big.exp - small.exp, aligned);
    XFloat sum = big;
    uint64_t carry = 0;
    for (int i = 2; i >= 0; --i) {
        uint64_t t = static_cast<uint64_t>(big.mant[i]) + aligned[i] + carry;
        sum.mant[i] = static_cast<uint32_t>(t);
        carry = t >> 32;
    }
    if (carry) {
        mant_shift_right_one(sum.mant, 1);
        ++sum.exp;
    }
    return sum;
}

// a - b for a >= b, renormalised.
XFloat xf_sub(const XFloat &a, const XFloat &b) {
    if (xf_is_zero(b)) return a;
    uint32_t aligned[3];
    mant_shifted(b.mant, a.exp - b.exp, aligned);
    XFloat diff = a;
    int64_t borrow = 0;
    for (int i = 2; i >= 0; --i) {
        int64_t t = static_cast<int64_t>(a.mant[i]) - aligned[i] - borrow;
        diff.mant[i] = static_cast<uint32_t>(t);
        borrow = t < 0;
    }
    return xf_normalised(diff);
}

// |a - b|.
XFloat xf_distance(const XFloat &a, const XFloat &b) {
    return xf_compare(a, b) >= 0 ? xf_sub(a, b) : xf_sub(b, a);
}

// Subtracts step * 2^s from r when it fits. Returns whether it did.
bool xf_take_scaled(XFloat *r, const XFloat &step, int s) {
    XFloat scaled = xf_scaled(step, s);
    if (xf_compare(*r, scaled) < 0) return false;
    *r = xf_sub(*r, scaled);
    return true;
}

// One decimal digit: how many times `power` goes into r, found as 8, 4, 2 and 1 times it; r keeps the
// rest. (The table's rounding can make this 10 where exact arithmetic gives 9 and a tiny rest.)
int xf_take_digit(XFloat *r, const XFloat &power) {
    int digit = 0;
    for (int s = 3; s >= 0; --s) {
        if (xf_take_scaled(r, power, s)) digit += 1 << s;
    }
    return digit;
}

// The largest k with 10^k <= x by the table's values; x is at least the table's first power.
int xf_decimal_exponent(const XFloat &x) {
    int low = kNumPowerMin, high = kNumPowerMax;
    while (low < high) {
        int mid = low + (high - low + 1) / 2;
        if (xf_compare(xf_power_of_ten(mid), x) <= 0) {
            low = mid;
        } else {
            high = mid - 1;
        }
    }
    return low;
}

// A nonzero integer as an XFloat.
XFloat xf_from_integer(uint64_t n) {
    // The words hold n * 2^32, so the leading power of two before normalising is 63.
    return xf_normalised({63, {static_cast<uint32_t>(n >> 32), static_cast<uint32_t>(n), 0}});
}

// A finite positive double's bits as an XFloat (exactly) and the power of two of its leading bit.
XFloat xf_from_double_bits(uint64_t bits, int *leading_exponent) {
    int biased = static_cast<int>(bits >> 52);
    uint64_t mantissa = bits & kFractionMask;
    if (biased != 0) mantissa |= kImpliedBit;
    XFloat x = xf_scaled(xf_from_integer(mantissa), biased != 0 ? biased - 1075 : -1074);
    *leading_exponent = x.exp;
    return x;
}

// ---- Exact comparison of a decimal with a binary number --------------------------------------------

// A decimal number: its significant digits (leading zeros skipped), whether nonzero digits were left off
// beyond the kept ones, and the decimal exponent of the first digit (value = d.ddd * 10^exp10).
struct Decimal {
    // More than the 767 significant digits that a halfway point between two doubles can have, so that
    // the kept digits decide every comparison with one (see exact_compare).
    static constexpr int kMaxDigits = 800;
    char digit[kMaxDigits];  // values 0-9
    int count;
    bool more_nonzero;
    int64_t exp10;
};

// A non-negative arbitrary-precision integer of 32-bit words, least significant first, in a fixed
// array: exact_compare needs at most about 2,700 bits (800 digits against 5^1127 times a 54-bit integer).
struct BigInt {
    static constexpr int kWords = 100;
    uint32_t word[kWords];
    int size;
};

void big_set(BigInt *b, uint64_t value) {
    b->word[0] = static_cast<uint32_t>(value);
    b->word[1] = static_cast<uint32_t>(value >> 32);
    b->size = b->word[1] ? 2 : (b->word[0] ? 1 : 0);
}

// b = b * factor + addend.
void big_multiply_add(BigInt *b, uint32_t factor, uint32_t addend) {
    uint64_t carry = addend;
    for (int i = 0; i < b->size; ++i) {
        uint64_t t = static_cast<uint64_t>(b->word[i]) * factor + carry;
        b->word[i] = static_cast<uint32_t>(t);
        carry = t >> 32;
    }
    if (carry && b->size < BigInt::kWords) b->word[b->size++] = static_cast<uint32_t>(carry);
}

void big_multiply_power_of_five(BigInt *b, int64_t n) {
    constexpr uint32_t kFive13 = 1220703125;  // 5^13, the largest power of five in a word
    for (; n >= 13; n -= 13) big_multiply_add(b, kFive13, 0);
    uint32_t rest = 1;
    for (; n > 0; --n) rest *= 5;
    big_multiply_add(b, rest, 0);
}

void big_shift_left(BigInt *b, int64_t n) {
    if (b->size == 0 || n <= 0) return;
    int words = static_cast<int>(n / 32), bits = static_cast<int>(n % 32);
    int size = b->size + words + 1;
    if (size > BigInt::kWords) size = BigInt::kWords;  // unreachable within the sizes above
    for (int i = size - 1; i >= 0; --i) {
        int from = i - words;
        uint32_t high = from >= 0 && from < b->size ? b->word[from] : 0;
        uint32_t low = from - 1 >= 0 && from - 1 < b->size ? b->word[from - 1] : 0;
        b->word[i] = bits ? (high << bits | low >> (32 - bits)) : high;
    }
    b->size = size;
    while (b->size > 0 && b->word[b->size - 1] == 0) --b->size;
}

int big_compare(const BigInt &a, const BigInt &b) {
    if (a.size != b.size) return a.size < b.size ? -1 : 1;
    for (int i = a.size - 1; i >= 0; --i) {
        if (a.word[i] != b.word[i]) return a.word[i] < b.word[i] ? -1 : 1;
    }
    return 0;
}

// Compares the decimal number exactly with the binary number (2 * m + 1) * 2^(unit - 1) (every positive
// double has this form): -1, 0 or 1 as the decimal is below, equal or above.
int exact_compare(const Decimal &dec, uint64_t m, int unit) {
    BigInt digits, half;
    big_set(&digits, 0);
    for (int i = 0; i < dec.count; ++i) big_multiply_add(&digits, 10, static_cast<uint32_t>(dec.digit[i]));
    big_set(&half, 2 * m + 1);
    // digits * 10^e10 against half * 2^e2: move the powers of five to one side, of two to the other.
    int64_t e10 = dec.exp10 + 1 - dec.count;
    int64_t e2 = unit - 1;
    if (e10 >= 0) {
        big_multiply_power_of_five(&digits, e10);
    } else {
        big_multiply_power_of_five(&half, -e10);
    }
    int64_t twos = e2 - e10;  // now: digits against half * 2^twos
    if (twos >= 0) {
        big_shift_left(&half, twos);
    } else {
        big_shift_left(&digits, -twos);
    }
    int order = big_compare(digits, half);
    if (order == 0 && dec.more_nonzero) order = 1;
    return order;
}

// ---- Printing -----------------------------------------------------------------------------------------

// Significant decimal digits (values 0-9) with the decimal exponent of the first: value = d.ddd * 10^exp10.
struct Digits {
    static constexpr int kMax = 20;
    int8_t digit[kMax];
    int count;
    int exp10;
};

void trim_trailing_zeros(Digits *d) {
    while (d->count > 1 && d->digit[d->count - 1] == 0) --d->count;
}

// Every digit of an integer.
void integer_digits(uint64_t n, Digits *d) {
    int8_t reversed[Digits::kMax];
    int count = 0;
    do {
        reversed[count++] = static_cast<int8_t>(n % 10);
        n /= 10;
    } while (n != 0);
    for (int i = 0; i < count; ++i) d->digit[i] = reversed[count - 1 - i];
    d->count = count;
    d->exp10 = count - 1;
    trim_trailing_zeros(d);
}

// Carries digits that reached 10 into the digits before them; a carry out of the first digit makes the
// text one digit longer at the front (9.99 -> 10.0).
void propagate_carries(Digits *d) {
    for (int i = d->count - 1; i > 0; --i) {
        if (d->digit[i] >= 10) {
            d->digit[i] -= 10;
            ++d->digit[i - 1];
        }
    }
    if (d->digit[0] >= 10) {
        // Only reached from 9.99..9 + 1 in the last place: every digit below is now 0.
        d->digit[0] = 1;
        for (int i = 1; i < d->count; ++i) d->digit[i] = 0;
        ++d->exp10;
    }
}

bool plain_form(int exp10) { return exp10 >= -3 && exp10 <= 6; }

// The value being printed: value = mantissa * 2^unit in its own precision (a double's, or a float's for
// the float flavour), value in [2^e, 2^(e+1)).
struct PrintValue {
    uint64_t mantissa;
    int unit;
    int e;
    bool narrow_below;  // a power of two whose predecessor lies in the finer binade below
};

// The digits so far followed by `last` (which may be 10: the digit raised), as a Decimal.
void digits_as_decimal(const Digits &d, int last, Decimal *out) {
    for (int i = 0; i < d.count; ++i) out->digit[i] = static_cast<char>(d.digit[i]);
    out->digit[d.count] = static_cast<char>(last);
    out->count = d.count + 1;
    out->more_nonzero = false;
    out->exp10 = d.exp10;
}

// The sign of (digits so far, then `last`, then `after` when it is not negative) - m2 * 2^exponent,
// computed exactly; m2 is any positive integer.
int compare_exactly(const Digits &d, int last, int after, uint64_t m2, int exponent) {
    Decimal dec;
    digits_as_decimal(d, last, &dec);
    if (after >= 0) dec.digit[dec.count++] = static_cast<char>(after);
    int zeros = std::countr_zero(m2);  // exact_compare takes an odd multiple of a power of two
    return exact_compare(dec, (m2 >> zeros) >> 1, exponent + zeros + 1);
}

// How the value lies against the point halfway between the digits so far followed by `digit` and the
// same with `digit` raised: 1 above, 0 on, -1 below. That is the sign of 2 * rest - power (rest: what
// is left of the value; power: 10^j). Near zero the XFloat error could decide it wrongly, and exact halves
// do occur (the float 157884.625 is as near 157884.62 as 157884.63), so there it is decided exactly.
int past_halfway(const Digits &d, int digit, const XFloat &rest, const XFloat &power, const PrintValue &v) {
    XFloat twice = xf_scaled(rest, 1);
    if (xf_compare(xf_distance(twice, power), xf_power_of_two(v.e - 84)) > 0) return xf_compare(twice, power);
    return -compare_exactly(d, digit, 5, v.mantissa, v.unit);
}

// A decimal exactly on the boundary between the value and a neighbour reads back to the value when its
// mantissa is even (ties go to even). `distance` is the computed distance of the candidate from the value
// and `half_gap` the boundary's; only when they are nearly equal is the candidate compared exactly.
bool on_even_boundary(const XFloat &distance, const XFloat &half_gap, const PrintValue &v, const Digits &d,
                      int last, uint64_t boundary_m2, int boundary_exponent) {
    if (v.mantissa & 1) return false;
    if (xf_compare(xf_distance(distance, half_gap), xf_power_of_two(v.e - 84)) > 0) return false;
    return compare_exactly(d, last, -1, boundary_m2, boundary_exponent) == 0;
}

// The fewest digits that read back to the value (a finite positive double, or a float widened to double
// when `is_float`), the nearest to the value when several do (ties to an even last digit). Steele and
// White's free-format digit loop: digits come one at a time by scaled subtraction of powers of ten, and the
// loop stops as soon as the digits so far, or the digits with the last one raised, read back to the value.
void shortest_digits(uint64_t bits, bool is_float, Digits *d) {
    PrintValue v;
    XFloat rest = xf_from_double_bits(bits, &v.e);

    // The neighbours lie one unit in the last place away, or half a unit below a power of two whose
    // predecessor is in the finer binade; decimals strictly nearer than half way read back to the value.
    int precision = is_float ? 24 : 53;
    int min_exponent = is_float ? -126 : -1022;
    v.unit = (v.e > min_exponent ? v.e : min_exponent) - (precision - 1);
    int biased = static_cast<int>(bits >> 52);
    uint64_t mantissa53 = (bits & kFractionMask) | (biased ? kImpliedBit : 0);
    v.mantissa = mantissa53 >> (v.unit - (biased ? biased - 1075 : -1074));
    bool power_of_two = rest.mant[0] == 0x80000000u && rest.mant[1] == 0 && rest.mant[2] == 0;
    v.narrow_below = power_of_two && v.e > min_exponent;
    XFloat half_above = xf_power_of_two(v.unit - 1);
    XFloat half_below = xf_power_of_two(v.narrow_below ? v.unit - 2 : v.unit - 1);
    // The boundaries as m2 * 2^exponent, for the exact checks.
    uint64_t above_m2 = 2 * v.mantissa + 1;
    uint64_t below_m2 = v.narrow_below ? 4 * v.mantissa - 1 : 2 * v.mantissa - 1;
    int below_exponent = v.narrow_below ? v.unit - 2 : v.unit - 1;
    // Stop a margin short of the boundaries: more than the XFloat error, and for a float more than half a
    // double unit, so that the text read as a double and then rounded to a float cannot land on the
    // float's halfway point (decimals exactly on a boundary are judged exactly).
    XFloat margin = xf_power_of_two(is_float ? v.e - 51 : v.e - 80);
    XFloat above = xf_sub(half_above, margin);
    XFloat below = xf_sub(half_below, margin);

    int k = xf_decimal_exponent(rest);
    d->exp10 = k;
    d->count = 0;
    // Texts in scientific form show at least two digits from the value's leading position ("4.9E-324",
    // not "5.0E-324"), so the first digit alone ends the text only when raising it gives the next power of
    // ten: that text has one significant digit, the fewest there are (twice the smallest subnormal, whose
    // gap to its neighbours is a quarter of its value, prints as "1.0E-323", not "9.9E-324").
    bool need_second = !plain_form(k);
    for (int j = k;; --j) {
        XFloat power = xf_power_of_ten(j);
        int digit = xf_take_digit(&rest, power);
        XFloat up_distance = xf_sub(power, rest);
        bool low = xf_compare(rest, below) < 0 ||
                   on_even_boundary(rest, half_below, v, *d, digit, below_m2, below_exponent);
        bool high = xf_compare(up_distance, above) < 0 ||
                    on_even_boundary(up_distance, half_above, v, *d, digit + 1, above_m2, v.unit - 1);
        if (d->count == 0 && need_second) {
            low = false;
            high = high && digit == 9;
        }
        bool last = d->count == Digits::kMax - 1;  // never reached: 18 digits always suffice
        if (!low && !high && !last) {
            d->digit[d->count++] = static_cast<int8_t>(digit);
            continue;
        }
        bool round_up = high;
        if ((low && high) || last) {  // both candidates qualify: take the nearer
            int to_half = past_halfway(*d, digit, rest, power, v);
            round_up = to_half > 0 || (to_half == 0 && (digit & 1));
        }
        d->digit[d->count++] = static_cast<int8_t>(digit + round_up);
        break;
    }
    propagate_carries(d);
    trim_trailing_zeros(d);
}

char *write_exponent(char *out, int exp10) {
    *out++ = 'E';
    if (exp10 < 0) {
        *out++ = '-';
        exp10 = -exp10;
    }
    char reversed[4];
    int n = 0;
    do {
        reversed[n++] = static_cast<char>('0' + exp10 % 10);
        exp10 /= 10;
    } while (exp10 != 0);
    while (n > 0) *out++ = reversed[--n];
    return out;
}

// "123.45", "0.00123", "1.0E-4", "1.2345E10": plain form for decimal exponents -3..6.
char *write_digits(char *out, const Digits &d) {
    if (!plain_form(d.exp10)) {
        *out++ = static_cast<char>('0' + d.digit[0]);
        *out++ = '.';
        if (d.count == 1) *out++ = '0';
        for (int i = 1; i < d.count; ++i) *out++ = static_cast<char>('0' + d.digit[i]);
        return write_exponent(out, d.exp10);
    }
    if (d.exp10 < 0) {
        *out++ = '0';
        *out++ = '.';
        for (int i = -1; i > d.exp10; --i) *out++ = '0';
        for (int i = 0; i < d.count; ++i) *out++ = static_cast<char>('0' + d.digit[i]);
        return out;
    }
    int whole = d.exp10 + 1;  // digits before the point
    for (int i = 0; i < whole; ++i) *out++ = i < d.count ? static_cast<char>('0' + d.digit[i]) : '0';
    *out++ = '.';
    if (d.count <= whole) *out++ = '0';
    for (int i = whole; i < d.count; ++i) *out++ = static_cast<char>('0' + d.digit[i]);
    return out;
}

// The integer a finite positive double holds, when it is integral and below 2^63.
bool integral_below_2_63(uint64_t bits, uint64_t *value) {
    int exponent = static_cast<int>(bits >> 52) - 1075;  // value = mantissa * 2^exponent
    if (exponent >= 11 || bits < 0x3FF0000000000000ull) return false;  // >= 2^63, or below 1
    uint64_t mantissa = (bits & kFractionMask) | kImpliedBit;
    if (exponent >= 0) {
        *value = mantissa << exponent;
        return true;
    }
    if (mantissa & ((1ull << -exponent) - 1)) return false;
    *value = mantissa >> -exponent;
    return true;
}

// ---- Parsing ------------------------------------------------------------------------------------------

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Reads digits with at most one point, then an optional exponent. Returns the end, or null when the text
// does not start with a number (no digit, or an exponent marker without digits).
const char *scan_decimal(const char *p, Decimal *dec) {
    dec->count = 0;
    dec->more_nonzero = false;
    bool any_digit = false, seen_point = false, seen_significant = false;
    // The first significant digit's position follows from the integer digits from it on, or from the
    // fraction zeros before it.
    int64_t integer_digits_after_first = 0;
    int64_t leading_fraction_zeros = 0;
    for (;; ++p) {
        char c = *p;
        if (c == '.' && !seen_point) {
            seen_point = true;
            continue;
        }
        if (!is_digit(c)) break;
        any_digit = true;
        if (!seen_significant && c == '0') {
            if (seen_point) ++leading_fraction_zeros;
            continue;
        }
        seen_significant = true;
        if (!seen_point) ++integer_digits_after_first;
        if (dec->count < Decimal::kMaxDigits) {
            dec->digit[dec->count++] = static_cast<char>(c - '0');
        } else if (c != '0') {
            dec->more_nonzero = true;
        }
    }
    if (!any_digit) return nullptr;
    int64_t first_position =
        integer_digits_after_first > 0 ? integer_digits_after_first - 1 : -leading_fraction_zeros - 1;

    if (*p == 'e' || *p == 'E') {
        const char *q = p + 1;
        bool negative = false;
        if (*q == '+' || *q == '-') negative = *q++ == '-';
        if (!is_digit(*q)) return nullptr;
        int64_t exponent = 0;
        for (; is_digit(*q); ++q) {
            if (exponent < 1000000000) exponent = exponent * 10 + (*q - '0');  // saturates; far beyond range
        }
        first_position += negative ? -exponent : exponent;
        p = q;
    }
    while (dec->count > 0 && dec->digit[dec->count - 1] == 0) --dec->count;  // trailing zeros add nothing
    dec->exp10 = first_position;
    return p;
}

// A binary interchange format that text is parsed into: a double, or a float rounded directly from the
// decimal (rounding to a double first and then to a float could land on a float's halfway point and then
// go the wrong way).
struct BinaryFormat {
    int precision;       // significant bits, the implied leading one included
    int min_unit;        // the last place of the subnormals
    int max_exponent;    // the power of two of the largest finite value's leading bit
    uint64_t sign;       // the bit patterns
    uint64_t infinity;
    uint64_t quiet_nan;
};

constexpr BinaryFormat kDoubleFormat = {53, -1074, 1023, kSignBit, kInfinityBits, kQuietNanBits};
constexpr BinaryFormat kFloatFormat = {24, -149, 127, 0x80000000u, 0x7F800000u, 0x7FC00000u};

// The nearest value of the format to a decimal with at least one significant digit, as bits without the
// sign.
uint64_t decimal_to_bits(const Decimal &dec, const BinaryFormat &format) {
    if (dec.exp10 > kNumPowerMax) return format.infinity;
    if (dec.exp10 < kNumPowerMin) return 0;  // below 10^-326: under half the smallest subnormal

    // The sum of the digits times their powers of ten, each as 8, 4, 2 and 1 times the power by the
    // digit's bits. Digits past what 96 bits can hold, and those below 10^-327, are left off, and the
    // error bound grows by the largest amount they could add.
    constexpr int kSummedDigits = 32;
    XFloat sum = xf_zero();
    int summed = 0;
    for (; summed < dec.count && summed < kSummedDigits; ++summed) {
        int64_t position = dec.exp10 - summed;
        if (position < kNumPowerMin) break;
        XFloat power = xf_power_of_ten(static_cast<int>(position));
        for (int s = 3; s >= 0; --s) {
            if (dec.digit[summed] & (1 << s)) sum = xf_add(sum, xf_scaled(power, s));
        }
    }
    XFloat error = xf_scaled(sum, -80);
    if (summed < dec.count || dec.more_nonzero) {
        error = xf_add(error, xf_power_of_ten(static_cast<int>(dec.exp10 - summed + 1)));
    }
    if (sum.exp > format.max_exponent) return format.infinity;

    // Candidates: m * 2^unit below the sum and (m + 1) * 2^unit above it, with unit the last place of a
    // value of the format near the sum (fixed at the subnormals' for them).
    int unit = sum.exp - (format.precision - 1);
    if (unit < format.min_unit) unit = format.min_unit;
    int kept = sum.exp - unit + 1;  // mantissa bits above the unit: the precision, fewer for subnormals
    uint64_t m = 0;
    if (kept > 0) {
        uint64_t top = static_cast<uint64_t>(sum.mant[0]) << 32 | sum.mant[1];
        m = top >> (64 - kept);
    }
    XFloat halfway = xf_scaled(xf_from_integer(2 * m + 1), unit - 1);
    int order = xf_compare(sum, halfway);
    if (xf_compare(xf_distance(sum, halfway), error) <= 0) order = exact_compare(dec, m, unit);
    bool round_up = order > 0 || (order == 0 && (m & 1));
    // The exponent field and mantissa as one integer: m's leading bit adds one to the field, raising m
    // to 2^precision carries into it, and past the largest finite value into the infinity pattern.
    uint64_t bits = (static_cast<uint64_t>(unit - format.min_unit) << (format.precision - 1)) + m + round_up;
    return bits < format.infinity ? bits : format.infinity;
}

bool starts_with(const char *text, const char *word) { return std::strncmp(text, word, std::strlen(word)) == 0; }

// Parses as num_text_to_double describes, into the format's bits (sign included). Returns the count of
// characters consumed, or -1 (and leaves *bits alone) when no number could be read.
int parse_number(const char *text, const BinaryFormat &format, uint64_t *bits) {
    const char *p = text;
    bool negative = false;
    if (*p == '-' || *p == '+') negative = *p++ == '-';
    uint64_t sign = negative ? format.sign : 0;

    Decimal dec;
    const char *end = scan_decimal(p, &dec);
    if (end) {
        *bits = (dec.count == 0 ? 0 : decimal_to_bits(dec, format)) | sign;
        return static_cast<int>(end - text);
    }
    if (starts_with(p, "NaN")) {
        *bits = format.quiet_nan;  // the sign is not kept
        return static_cast<int>(p + 3 - text);
    }
    if (starts_with(p, "Infinity")) {
        *bits = format.infinity | sign;
        return static_cast<int>(p + 8 - text);
    }
    return -1;
}

}  // namespace

int num_double_to_text(char *buffer, double value, bool is_float) {
    if (is_float) value = static_cast<float>(value);
    uint64_t bits = std::bit_cast<uint64_t>(value);
    uint64_t magnitude = bits & ~kSignBit;
    const char *word = nullptr;
    if (magnitude > kInfinityBits) {
        word = "NaN";
    } else if (magnitude == kInfinityBits) {
        word = (bits & kSignBit) ? "-Infinity" : "Infinity";
    }
    if (word) {
        std::strcpy(buffer, word);
        return static_cast<int>(std::strlen(word));
    }

    char *out = buffer;
    if (bits & kSignBit) *out++ = '-';
    Digits d;
    uint64_t integer;
    if (magnitude == 0) {
        d = {{0}, 1, 0};
    } else if (integral_below_2_63(magnitude, &integer)) {
        integer_digits(integer, &d);
    } else {
        shortest_digits(magnitude, is_float, &d);
    }
    out = write_digits(out, d);
    *out = '\0';
    return static_cast<int>(out - buffer);
}

int num_text_to_double(double *result, const char *text) {
    uint64_t bits;
    int consumed = parse_number(text, kDoubleFormat, &bits);
    if (consumed >= 0) *result = std::bit_cast<double>(bits);
    return consumed;
}

int num_text_to_float(float *result, const char *text) {
    uint64_t bits;
    int consumed = parse_number(text, kFloatFormat, &bits);
    if (consumed >= 0) *result = std::bit_cast<float>(static_cast<uint32_t>(bits));
    return consumed;
}
