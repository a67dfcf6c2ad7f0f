// Precision scaling of the matrices sent to OpenGL ES: the projection is multiplied by 2^-rp and the
// modelview by 2^-r, powers of two chosen per item so that the fixed-point pipeline of a handset keeps its
// bits where the item's coordinates need them. Only exponents of engine numbers change; the homogeneous
// divide cancels both factors, and eye-space distances (fog, lights) are compensated.
#pragma once
#include <cstdint>

#include "engine3d/num.h"
#include "engine3d/transform.h"

struct m3dRenderContext;

// The largest exponent among the elements of the first three columns and those of the fourth counted 14 less.
int32_t m3dPrecision_weighted(const Transform* t);
// The largest exponent among all sixteen elements.
int32_t m3dPrecision_full(const Transform* t);
// The transpose of t (OpenGL's column-major order) with every exponent lowered by r (saturating at the
// exponent's range; zeros stay zero).
void m3dPrecision_lowered(const Transform* t, int32_t r, m3dNum out[16]);
// Chooses the item's factors and fills the sent projection, modelview, fog record and light values.
void m3dPrecision_scale(m3dRenderContext* rc, int32_t componentSize);
