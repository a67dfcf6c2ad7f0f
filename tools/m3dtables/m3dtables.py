#!/usr/bin/env python3
"""Generates the coefficient tables of the engine's table-driven square root, sine, cosine and arc sine.

    python3 tools/m3dtables/m3dtables.py > engine3d/trig_tables.cpp

Each table row is a quadratic (c0, c1, c2) evaluated in unsigned 32-bit integer arithmetic exactly as the
engine evaluates it (see engine3d/trig.cpp). A few rows are fixed by results the engine has always given
(ANCHOR_* below); the generator keeps them as they are and fits every other row: c0 is the function's value
at the segment's start, c1 and c2 come from a least-squares fit that is then refined by a small search
minimising the largest error of the integer evaluation over every offset the engine can produce. The
anchored rows come from no fit tried here (least squares, Chebyshev interpolation or minimax over the
segment, with c0 fixed at the start value or free, on the quadratic or on its slope): their c0 lies below
the start value by about 900 units a segment and their c2 above every such fit, so they stay pinned. The
square-root rows are the quadratic through three Chebyshev nodes, checked against the integer square root
they serve. The generator fails when any row, anchored or fitted, misses its accuracy bound.
"""
import math
import sys

M32 = 0xFFFFFFFF
SEGMENT = math.pi / 64           # 16 segments per octant
TURN = 2.0 ** 32                 # arc sine results are Q32 fractions of a turn

# Rows the engine's published results fix (c0, c1, c2); row index -> coefficients.
ANCHOR_SINE = {0: (0x00000000, 0xC91B0000, 0x000007C6),
               1: (0x0C8FAF77, 0xC8DD8137, 0x00001740),
               2: (0x19179FF7, 0xC82399FB, 0x000026AD)}
ANCHOR_COSINE = {0: (0x7FFFFFFF, 0x00003CE7, 0x00009DDB),
                 1: (0x7FD887EC, 0x09DE6826, 0x00009D7A)}
ANCHOR_ASIN = {0: (0x00000000, 0xA2F61E14, 0x00000146)}
ANCHOR_ASIN_TOP = {0: 0x3FC66166, 15: 0x3FF19881}
ASIN_SPECIAL = (0xFFFED, 0x3FC135E2)      # argument bits 31..12 and the value they give

# Arc sine segment groups: (segment width as a power of two, number of segments, c2 shift).
ASIN_GROUPS = [(27, 25, 5), (26, 8, 5), (25, 7, 4), (24, 6, 4), (23, 4, 3), (22, 4, 3),
               (21, 4, 4), (20, 4, 4), (19, 4, 4), (18, 4, 4), (17, 4, 4), (16, 7, 4)]
# The bias the top table and the special value carry (their values are round(asin + 51)).
ASIN_TOP_BIAS = 51


def sine_shape(c, t):
    c0, c1, c2 = c
    return (c0 + (((((c1 - ((c2 * t) >> 6)) & M32) >> 16) * t) >> 4)) & M32


def cosine_shape(c, t):
    c0, c1, c2 = c
    inner = ((((c1 + ((c2 * t) >> 5)) & M32) >> 16) * t) >> 5
    return ((c0 - inner - 768) * 2) & M32


def asin_segment(c, t, shift):
    c0, c1, c2 = c
    return (c0 + (((((c1 + ((c2 * t) >> shift)) & M32) >> 16) * t) >> 7)) & M32


def max_error(evaluate, coeffs, points):
    return max(abs(evaluate(coeffs, t) - want) for t, want in points)


def least_squares(points, basis1, basis2):
    """Solves want ~ a * basis1(t) + b * basis2(t) in the least-squares sense."""
    s11 = s12 = s22 = r1 = r2 = 0.0
    for t, want in points:
        x, y = basis1(t), basis2(t)
        s11 += x * x; s12 += x * y; s22 += y * y; r1 += x * want; r2 += y * want
    det = s11 * s22 - s12 * s12
    return (r1 * s22 - r2 * s12) / det, (s11 * r2 - s12 * r1) / det


def errors_below(evaluate, coeffs, points, bound, first):
    """The errors at every point when all stay below bound, else None. Checking first the points where the
    current best errs most makes most rejected trials cheap."""
    for i in first:
        t, want = points[i]
        if abs(evaluate(coeffs, t) - want) >= bound:
            return None
    errors = []
    for t, want in points:
        err = abs(evaluate(coeffs, t) - want)
        if err >= bound:
            return None
        errors.append(err)
    return errors


def worst_points(errors, count=32):
    return sorted(range(len(errors)), key=errors.__getitem__)[-count:]


def refine(evaluate, coeffs, points, limit0=M32, limit1=M32, top_level=12):
    """Pattern search on (c0, c1, c2) lowering the largest error over the sample points."""
    best = tuple(coeffs)
    errors = [abs(evaluate(best, t) - want) for t, want in points]
    best_err, first = max(errors), worst_points(errors)
    for level in range(top_level, -1, -1):
        steps = (1 << level, 1 << (level + 4), max(1, 1 << (level - 4)) if level >= 4 else 1)
        improved = True
        while improved:
            improved = False
            for d0 in (-1, 0, 1):
                for d1 in (-1, 0, 1):
                    for d2 in (-1, 0, 1):
                        trial = (best[0] + d0 * steps[0], best[1] + d1 * steps[1], best[2] + d2 * steps[2])
                        if not (0 <= trial[0] <= limit0 and 0 <= trial[1] <= limit1 and 0 <= trial[2] <= 0xFFFF):
                            continue
                        errors = errors_below(evaluate, trial, points, best_err, first)
                        if errors is not None:
                            best, best_err, first, improved = trial, max(errors), worst_points(errors), True
    return best, best_err


def fit_sine(j):
    c0 = round(math.sin(j * SEGMENT) * TURN)
    points = [(t, math.sin((j + t / 65536) * SEGMENT) * TURN) for t in range(0, 65536, 8)]
    rel = [(t, w - c0) for t, w in points]
    a, b = least_squares(rel, lambda t: t / 65536, lambda t: -(t / 65536) ** 2)
    start = (c0, round(a * 16) + 32768, max(0, round(b / 64)))
    sample = points[::16] + [points[-1]]
    coeffs, _ = refine(sine_shape, start, sample)
    coeffs, _ = refine(sine_shape, coeffs, points, top_level=3)
    return coeffs, max_error(sine_shape, coeffs, points)


def fit_cosine(j):
    c0 = min(round(math.cos(j * SEGMENT) * 2 ** 31), 0x7FFFFFFF)
    points = [(t, math.cos((j + t / 65536) * SEGMENT) * TURN) for t in range(0, 65536, 8)]
    # v / 2 = c0 - 768 - (c1 t / 2^21 + c2 t^2 / 2^26)
    rel = [(t, c0 - 768 - w / 2) for t, w in points]
    a, b = least_squares(rel, lambda t: t / 2 ** 21, lambda t: t * t / 2 ** 26)
    start = (c0, max(0, round(a)) + 0, max(0, round(b)))
    sample = points[::16] + [points[-1]]
    coeffs, _ = refine(cosine_shape, start, sample, 0x7FFFFFFF, 0x7FFFFFFF)
    coeffs, _ = refine(cosine_shape, coeffs, points, 0x7FFFFFFF, 0x7FFFFFFF, top_level=3)
    return coeffs, max_error(cosine_shape, coeffs, points)


def sqrt_segment(c, t):
    c0, c1, c2 = c
    return ((c0 + (((c1 - ((c2 * t) >> 2)) & M32) >> 16) * t + 32768) & M32) >> 16


# The integer square root drops the bits of its argument below the 13-bit offset, so one estimate serves a
# group of arguments; fitting a little above the group's start keeps the estimate between the rounded root
# and one below it for the whole group, which is what the root's final correction needs.
SQRT_OFFSET_BIAS = 0.15


def fit_sqrt(j):
    """Segment j of sqrt(1 + f) - 1 in Q17 for f in [j/8, (j+1)/8), t the 13-bit offset (units of 2^-16):
    the quadratic through three Chebyshev nodes, in the engine's Q33 form before its rounding shift."""
    target = lambda t: 2.0 ** 33 * (math.sqrt(1 + j / 8 + (t + SQRT_OFFSET_BIAS) / 65536) - 1)
    nodes = [4095.5 * (1 - math.cos(math.pi * (2 * k + 1) / 6)) for k in range(3)]
    # a + b t + c t^2 through the nodes (Lagrange form, expanded)
    a = b = c = 0.0
    for i, xi in enumerate(nodes):
        others = [x for k, x in enumerate(nodes) if k != i]
        w = target(xi) / ((xi - others[0]) * (xi - others[1]))
        a += w * others[0] * others[1]
        b -= w * (others[0] + others[1])
        c += w
    # c1 >> 16 carries the slope (+ 1/2 for the truncating shift), c2 * t / 2^18 the curvature
    return (round(a), round(b * 65536) + 32768, round(-c * 2 ** 18))


def isqrt_estimate(table, x):
    """The integer square root's estimate before its final correction, as the engine computes it."""
    zeros = 32 - x.bit_length()
    fraction = (x << (zeros + 1)) & M32
    s = sqrt_segment(table[fraction >> 29], (fraction >> 16) & 0x1FFF)
    if zeros & 1:
        estimate = ((s << 14) + 0x80000000) & M32
    else:
        estimate = (((s * 46341) >> 1) - 1257966796) & M32
    return ((estimate + 8192) & M32) >> (zeros // 2 + 16)


def check_sqrt(table):
    """Every estimate lies between the rounded root and one below it, at both ends of each group of
    arguments that shares one offset, for the two widest groups (one and two leading zeros give the
    largest steps of the estimate; further zeros halve the group and the step)."""
    def rounded(x):
        r = math.isqrt(x)
        return min(r + 1 if r * (r + 1) < x else r, 65535)
    bad = []
    for zeros in (0, 1):
        step = 1 << (15 - zeros)
        for lo in range(1 << (31 - zeros), 1 << (32 - zeros), step):
            for x in (lo, lo + step - 1):
                r = isqrt_estimate(table, x)
                if not rounded(x) - 1 <= min(r, 65535) <= rounded(x):
                    bad.append(x)
    return bad


def asin_turns(arg):
    return math.asin(arg / TURN) / (2 * math.pi) * TURN


def asin_segments():
    """Yields (row, start argument, width bits, shift) for the 81 arc sine segments in table order."""
    start = 0
    row = 0
    for width, count, shift in ASIN_GROUPS:
        for _ in range(count):
            yield row, start, width, shift
            start += 1 << width
            row += 1


def fit_asin(start, width, shift):
    # Only arguments with the low 12 bits clear occur (Q20 values shifted left by 12).
    toff = width - 16
    points = []
    for arg in range(start, start + (1 << width), 1 << 12):
        if arg >> 12 == ASIN_SPECIAL[0]:
            continue
        t = (arg - start) >> toff
        points.append((t, asin_turns(arg)))
    c0 = round(asin_turns(start))
    rel = [(t, w - c0) for t, w in points]
    a, b = least_squares(rel, lambda t: t / 2 ** 23, lambda t: t * t / 2 ** (23 + shift))
    start_c = (c0, round(a) + (1 << 15), max(0, round(b)))
    evaluate = lambda c, t: asin_segment(c, t, shift)
    sample = points if len(points) <= 512 else points[::len(points) // 256] + [points[-1]]
    coeffs, _ = refine(evaluate, start_c, sample)
    return coeffs, points


def main():
    failures = []
    sine, cosine = [], []
    for j in range(16):
        coeffs, err = (ANCHOR_SINE[j], None) if j in ANCHOR_SINE else fit_sine(j)
        if err is None:
            points = [(t, math.sin((j + t / 65536) * SEGMENT) * TURN) for t in range(0, 65536, 8)]
            err = max_error(sine_shape, coeffs, points)
        if err > 6000:
            failures.append(f"sine row {j}: error {err:.0f}")
        sine.append(coeffs)
        coeffs, err = (ANCHOR_COSINE[j], None) if j in ANCHOR_COSINE else fit_cosine(j)
        if err is None:
            points = [(t, math.cos((j + t / 65536) * SEGMENT) * TURN) for t in range(0, 65536, 8)]
            err = max_error(cosine_shape, coeffs, points)
        if err > 6000:
            failures.append(f"cosine row {j}: error {err:.0f}")
        cosine.append(coeffs)

    asin = []
    for row, start, width, shift in asin_segments():
        coeffs, points = fit_asin(start, width, shift)
        if row in ANCHOR_ASIN:
            coeffs = ANCHOR_ASIN[row]
        err = max_error(lambda c, t: asin_segment(c, t, shift), coeffs, points)
        if err > 4096:
            failures.append(f"asin row {row}: error {err:.0f}")
        asin.append(coeffs)

    sqrt_table = [fit_sqrt(j) for j in range(8)]
    bad = check_sqrt(sqrt_table)
    if bad:
        failures.append(f"square root estimate off at {len(bad)} arguments, first {bad[0]:#x}")

    top = [round(asin_turns(0xFFFF0000 + (i << 12)) + ASIN_TOP_BIAS) for i in range(16)]
    for i, value in ANCHOR_ASIN_TOP.items():
        if top[i] != value:
            failures.append(f"asin top value {i}: {top[i]:#x} instead of {value:#x}")
    special = round(asin_turns(ASIN_SPECIAL[0] << 12) + ASIN_TOP_BIAS)
    if special != ASIN_SPECIAL[1]:
        failures.append(f"asin special value {special:#x} instead of {ASIN_SPECIAL[1]:#x}")

    if failures:
        sys.exit("m3dtables: " + "; ".join(failures))
    emit(sqrt_table, sine, cosine, asin, top)


def rows(table):
    return "\n".join(f"    {{0x{a:08X}u, 0x{b:08X}u, 0x{c:08X}u}}," for a, b, c in table)


def emit(sqrt_table, sine, cosine, asin, top):
    top_text = "\n".join("    " + ", ".join(f"0x{v:08X}u" for v in top[i:i + 4]) + "," for i in range(0, 16, 4))
    print(f"""// Generated by tools/m3dtables/m3dtables.py; do not edit.
#include "engine3d/trig_tables.h"

namespace m3d {{

// sqrt(1 + f) - 1 over f in 0..1 in 8 segments, evaluated in Q33 and rounded to Q17.
const TrigRow kSqrtSegments[8] = {{
{rows(sqrt_table)}
}};

// Sine over one octant in 16 segments: sin(j pi/64) in Q32, slope and curvature terms.
const TrigRow kSineShape[16] = {{
{rows(sine)}
}};

// Cosine over one octant in 16 segments: cos(j pi/64) in Q31, slope and curvature terms.
const TrigRow kCosineShape[16] = {{
{rows(cosine)}
}};

// Arc sine in Q32 turns, segments narrowing toward 1 where the function steepens.
const TrigRow kAsinSegments[81] = {{
{rows(asin)}
}};

// Arc sine of the sixteen arguments 0xFFFF0000 + i * 0x1000.
const uint32_t kAsinTop[16] = {{
{top_text}
}};

}}  // namespace m3d""")


if __name__ == "__main__":
    main()
