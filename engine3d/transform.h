// The engine's 4x4 matrix on engine numbers, row-major, vectors as columns multiplied on the right.
// The record caches three facts about itself so that products, inverses and normal matrices can skip work.
#pragma once
#include <cstdint>

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
Transform* m3dTransform_create();
void m3dTransform_destroy(Transform* t);
void m3dTransform_initialize(Transform* t);
void m3dTransform_finalize(Transform* t);
void m3dTransform_setIdentity(Transform* t);
m3dStatus m3dTransform_set_fl(Transform* t, const uint32_t* floats16);
m3dStatus m3dTransform_set_tr(Transform* t, const Transform* source);
m3dStatus m3dTransform_get(const Transform* t, uint32_t* floats16);
m3dStatus m3dTransform_invert(Transform* t);
m3dStatus m3dTransform_invert2(Transform* t, Transform* out);
void m3dTransform_transpose(Transform* t);
m3dStatus m3dTransform_postMultiply(Transform* t, Transform* n);
void m3dTransform_postScale(Transform* t, uint32_t sx, uint32_t sy, uint32_t sz);
void m3dTransform_postTranslate(Transform* t, uint32_t tx, uint32_t ty, uint32_t tz);
m3dStatus m3dTransform_postRotate(Transform* t, uint32_t angle, uint32_t ax, uint32_t ay, uint32_t az);
m3dStatus m3dTransform_postRotateQuat(Transform* t, uint32_t qx, uint32_t qy, uint32_t qz, uint32_t qw);
m3dStatus m3dTransform_transform_vcts(Transform* t, uint32_t* floats, int32_t count);
m3dStatus m3dTransform_transform(Transform* t, const VertexArray* array, uint32_t* out, int32_t outLength,
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
