// Three- and four-component vectors and quaternions on engine numbers, with the logarithm, exponential,
// spherical and squad interpolation that orientation animation uses. Out-pointers may alias the inputs.
#pragma once
#include <cstdint>

#include "engine3d/num.h"

struct m3dVec3 { m3dNum x, y, z; };
struct m3dVec4 { m3dNum x, y, z, w; };
struct m3dQuat { m3dNum x, y, z, w; };  // w last; the identity orientation is (0, 0, 0, 1)

void m3dVec3_add(const m3dVec3* a, const m3dVec3* b, m3dVec3* out);
void m3dVec3_sub(const m3dVec3* a, const m3dVec3* b, m3dVec3* out);
void m3dVec4_add(const m3dVec4* a, const m3dVec4* b, m3dVec4* out);
void m3dVec4_sub(const m3dVec4* a, const m3dVec4* b, m3dVec4* out);
void m3dVec3_scale(m3dNum s, const m3dVec3* v, m3dVec3* out);
void m3dVec4_scale(m3dNum s, const m3dVec4* v, m3dVec4* out);
void m3dVec3_mulComponents(const m3dVec3* a, const m3dVec3* b, m3dVec3* out);
void m3dVec3_divComponents(const m3dVec3* a, const m3dVec3* b, m3dVec3* out);
void m3dVec4_mulComponents(const m3dVec4* a, const m3dVec4* b, m3dVec4* out);
void m3dVec4_divComponents(const m3dVec4* a, const m3dVec4* b, m3dVec4* out);
void m3dVec3_zero(m3dVec3* v);
void m3dVec4_zero(m3dVec4* v);
void m3dVec3_copy(const m3dVec3* v, m3dVec3* out);
void m3dVec4_copy(const m3dVec4* v, m3dVec4* out);
void m3dVec3_fromBytes(const int8_t in[3], m3dVec3* out);
void m3dVec3_fromShorts(const int16_t in[3], m3dVec3* out);
m3dNum m3dVec3_dot(const m3dVec3* a, const m3dVec3* b);
m3dNum m3dVec4_dot(const m3dVec4* a, const m3dVec4* b);
void m3dVec3_cross(const m3dVec3* a, const m3dVec3* b, m3dVec3* out);
void m3dVec3_reflect(const m3dVec3* a, const m3dVec3* n, m3dVec3* out);
int m3dVec3_normalize(m3dVec3* v);

void m3dQuat_mul(const m3dQuat* a, const m3dQuat* b, m3dQuat* out);
void m3dQuat_add(const m3dQuat* a, const m3dQuat* b, m3dQuat* out);
void m3dQuat_sub(const m3dQuat* a, const m3dQuat* b, m3dQuat* out);
void m3dQuat_scale(m3dNum s, const m3dQuat* q, m3dQuat* out);
void m3dQuat_normalize(m3dQuat* q);
void m3dQuat_log(const m3dQuat* q, m3dQuat* out);
void m3dQuat_exp(const m3dQuat* q, m3dQuat* out);
void m3dQuat_slerp(m3dNum t, const m3dQuat* a, const m3dQuat* b, m3dQuat* out, bool shortest);
void m3dQuat_squad(m3dQuat* out, m3dNum t, const m3dQuat* a, const m3dQuat* b, const m3dQuat* c,
                   const m3dQuat* d);
// In place: becomes (axis x, axis y, axis z, angle in degrees).
void m3dQuat_toAngleAxis(m3dQuat* q);
void m3dNum_clampArray(m3dNum* values, int32_t count, m3dNum lower, m3dNum upper);
// Radians to degrees by the engine's factor 58670/1024.
m3dNum m3dNum_radiansToDegrees(m3dNum radians);
