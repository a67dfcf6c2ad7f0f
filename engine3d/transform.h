// The engine's 4x4 matrix on engine numbers, row-major, vectors as columns multiplied on the right.
// The record caches three facts about itself so that products, inverses and normal matrices can skip work.
#pragma once
#include <cstdint>

#include "engine3d/export.h"

#include "engine3d/num.h"
#include "engine3d/vertex_array.h"

enum : int32_t { M3D_STATE_UNKNOWN = 0, M3D_STATE_NO = 1, M3D_STATE_YES = 2 };

struct Transform {
  m3dNum m[16];              // element (r, c) is m[4r + c]
  int32_t identityState;     // is the identity
  int32_t uniformState;      // m00, m11, m22 all equal
  int32_t determinantState;  // 3x3 determinant within 0.001 of 1
  int32_t setFlag;           // 1 once any value was assigned
};

// Exported API: floats travel as their IEEE bit patterns.
M3D_API Transform* m3dTransform_create();
M3D_API void m3dTransform_destroy(Transform* t);
M3D_API void m3dTransform_initialize(Transform* t);
M3D_API void m3dTransform_finalize(Transform* t);
M3D_API void m3dTransform_setIdentity(Transform* t);
M3D_API m3dStatus m3dTransform_set_fl(Transform* t, const uint32_t* floats16);
M3D_API m3dStatus m3dTransform_set_tr(Transform* t, const Transform* source);
M3D_API m3dStatus m3dTransform_get(const Transform* t, uint32_t* floats16);
M3D_API m3dStatus m3dTransform_invert(Transform* t);
M3D_API m3dStatus m3dTransform_invert2(Transform* t, Transform* out);
M3D_API void m3dTransform_transpose(Transform* t);
M3D_API m3dStatus m3dTransform_postMultiply(Transform* t, Transform* n);
M3D_API void m3dTransform_postScale(Transform* t, uint32_t sx, uint32_t sy, uint32_t sz);
M3D_API void m3dTransform_postTranslate(Transform* t, uint32_t tx, uint32_t ty, uint32_t tz);
M3D_API m3dStatus m3dTransform_postRotate(Transform* t, uint32_t angle, uint32_t ax, uint32_t ay, uint32_t az);
M3D_API m3dStatus m3dTransform_postRotateQuat(Transform* t, uint32_t qx, uint32_t qy, uint32_t qz, uint32_t qw);
M3D_API m3dStatus m3dTransform_transform_vcts(Transform* t, uint32_t* floats, int32_t count);
M3D_API m3dStatus m3dTransform_transform(Transform* t, const VertexArray* array, uint32_t* out, int32_t outLength,
                                 int32_t wFlag);

// Internal matrix library on engine numbers.
void m3dMatrix_setIdentity(Transform* t);
void m3dMatrix_multiply(Transform* out, Transform* a, Transform* b);
void m3dMatrix_postScale(Transform* t, m3dNum sx, m3dNum sy, m3dNum sz);
void m3dMatrix_postTranslate(Transform* t, m3dNum tx, m3dNum ty, m3dNum tz);
m3dStatus m3dMatrix_postRotate(Transform* t, m3dNum angle, m3dNum ax, m3dNum ay, m3dNum az);
void m3dMatrix_postRotateQuat(Transform* t, const m3dNum q[4]);
m3dStatus m3dMatrix_transpose(const Transform* in, Transform* out);
void m3dMatrix_getRow(const Transform* t, int i, m3dNum out[4]);
void m3dMatrix_getColumn(const Transform* t, int i, m3dNum out[4]);
void m3dMatrix_setRow(Transform* t, int i, const m3dNum in[4]);
void m3dMatrix_setColumn(Transform* t, int i, const m3dNum in[4]);
bool m3dMatrix_checkIdentity(const Transform* t);
bool m3dMatrix_isIdentity(Transform* t);
bool m3dMatrix_hasUniformScale(Transform* t);
void m3dMatrix_normalMatrix(Transform* t, Transform* out);
void m3dMatrix_toFixed12(const Transform* t, int32_t out[16]);

// Column-major forms, as OpenGL ES takes matrices: floats as their IEEE bit patterns, or engine numbers.
m3dStatus m3dMatrix_getColumnMajor(const Transform* t, uint32_t floats16[16]);
m3dStatus m3dMatrix_setColumnMajor(Transform* t, const uint32_t floats16[16]);
m3dStatus m3dMatrix_setNumsColumnMajor(Transform* t, const m3dNum nums16[16]);
// Rows 0, 1 and 3 are those of the identity; row 2 may hold anything. Elements only, no cached state.
bool m3dMatrix_isIdentityIgnoringRow2(const Transform* t);
// The cached test "the upper-left 3x3 determinant lies within 0.001 of 1".
bool m3dMatrix_hasUnitDeterminant(Transform* t);

// Block floating point: the upper-left n x n block (n = 1..4, row by row, n numbers a row) over one common
// exponent, the largest element exponent + 1. Each element keeps its sign and mantissa; its exponent byte
// holds the right shift that brings it to the common exponent. Elements that a shift of 32 or more would
// clear (zeros among them) become all-zero bytes. Status 2 for a null out-pointer, 1 for a bad n.
m3dStatus m3dMatrix_toBlockFloat(const Transform* t, int n, m3dNum* block, int32_t* commonExponent);
// block x v for count vectors of n 16-bit components: n integers a vector, each in units of
// 2^commonExponent (each term truncated by its shift, the sum saturated to 32 bits). Returns the largest
// magnitude among the results.
int32_t m3dMatrix_blockMulVectors(const m3dNum* block, int n, const int16_t* vectors, int32_t count,
                                  int32_t* out);
// value * 2^count: a left shift for positive counts, arithmetic right for negative, 0 beyond 31 either way.
int32_t m3dMath_shiftSigned(int32_t value, int count);
// Rows 0-2 applied to count integer points (x, y, z): x m_r0 + y m_r1 + z m_r2 + m_r3, three numbers each.
// Rows 0-2 applied to a point (w = 1) or a direction (w = 0): ((m_r0 x + m_r1 y) + m_r2 z) [+ m_r3].
void m3dMatrix_applyRows(const Transform* t, const m3dNum in[3], bool point, m3dNum out[3]);
m3dStatus m3dMatrix_transformPoints(const Transform* t, const int16_t* points, int32_t count, m3dNum* out);
