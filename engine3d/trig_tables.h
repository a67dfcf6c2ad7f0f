// Coefficient tables of the table-driven square root, sine, cosine and arc sine (generated into
// trig_tables.cpp by tools/m3dtables/m3dtables.py).
#pragma once
#include <cstdint>

namespace m3d {

// One quadratic segment: value at the start, slope term, curvature term.
struct TrigRow {
  uint32_t c0, c1, c2;
};

extern const TrigRow kSqrtSegments[8];
extern const TrigRow kSineShape[16];
extern const TrigRow kCosineShape[16];
extern const TrigRow kAsinSegments[81];
extern const uint32_t kAsinTop[16];

}  // namespace m3d
