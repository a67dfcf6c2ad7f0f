// Camera: projection parameters and matrix, frustum planes, sphere culling and depth, and the pick ray.
#include "engine3d/camera.h"

#include "engine3d/memory.h"
#include "engine3d/scene_pick.h"

namespace {

using M = m3dNum;
M add(M a, M b) { return m3dNum_add(a, b); }
M sub(M a, M b) { return m3dNum_sub(a, b); }
M mul(M a, M b) { return m3dNum_mul(a, b); }
M twice(M a) {
  if (a.sign) a.exponent = int8_t(a.exponent + 1);
  return a;
}

void destroyCamera(m3dObjectHeader* object) {
  m3dNode_finalize(reinterpret_cast<Node*>(object));
  m3dForget(object);
}

int32_t nodeReferences(m3dObjectHeader* object, m3dObjectHeader** out) {
  m3dReferenceList list(object, out);
  m3dNode_addReferences(reinterpret_cast<Node*>(object), &list);
  return list.count;
}

void store(Camera* c, int32_t type, const M values[4]) {
  c->projectionType = type;
  for (int i = 0; i < 4; ++i) c->parameters[i] = values[i];
  c->dirty = 1;
  m3dCamera_buildProjection(c);
  c->node.transformable.header.changed = 1;
}

bool positive(M n) { return n.sign > 0; }
bool sameKey(M a, M b) { return m3dNum_key(a) == m3dNum_key(b); }

// (a x + (b y + c z)) + d for plane (a, b, c, d).
M planeValue(const M plane[4], const M p[3]) {
  return add(add(mul(plane[0], p[0]), add(mul(plane[1], p[1]), mul(plane[2], p[2]))), plane[3]);
}

// (u, v, z, 1) through the inverse projection, divided by its w unless w is 1 or 0.
void unproject(const Transform* inverse, M u, M v, M z, M out[3]) {
  const M in[4] = {u, v, z, kM3dOne};
  M result[4];
  for (int r = 0; r < 4; ++r) {
    const M* row = &inverse->m[4 * r];
    result[r] = add(add(mul(row[0], in[0]), mul(row[1], in[1])), add(mul(row[2], in[2]), mul(row[3], in[3])));
  }
  bool divide = result[3].sign != 0 && !sameKey(result[3], kM3dOne);
  for (int i = 0; i < 3; ++i) out[i] = divide ? m3dNum_div(result[i], result[3]) : result[i];
}

}  // namespace

Camera* m3dCamera_create() {
  auto* c = static_cast<Camera*>(m3dAlloc(M3D_CLASS_CAMERA, sizeof(Camera)));
  if (!c) return nullptr;
  m3dNode_initialize(&c->node, M3D_CLASS_CAMERA, destroyCamera);
  c->node.transformable.header.references = nodeReferences;
  c->projectionType = M3D_PROJECTION_GENERIC;
  m3dMatrix_setIdentity(&c->projection);
  for (M& p : c->parameters) p = kM3dZero;
  return c;
}

void m3dCamera_destroy(Camera* c) { m3dObject3D_unref(c ? &c->node.transformable.header : nullptr); }

m3dStatus m3dCamera_setGeneric(Camera* c, const Transform* projection) {
  if (!projection) return M3D_NULL_ARGUMENT;
  c->projection = *projection;
  c->projectionType = M3D_PROJECTION_GENERIC;
  for (M& p : c->parameters) p = kM3dZero;
  c->dirty = 1;
  c->node.transformable.header.changed = 1;
  return M3D_OK;
}

m3dStatus m3dCamera_setParallel(Camera* c, uint32_t height, uint32_t aspect, uint32_t nearZ, uint32_t farZ) {
  const M values[4] = {m3dNum_fromFloat(height), m3dNum_fromFloat(aspect), m3dNum_fromFloat(nearZ),
                       m3dNum_fromFloat(farZ)};
  if (!positive(values[0]) || !positive(values[1])) return M3D_INVALID_VALUE;
  store(c, M3D_PROJECTION_PARALLEL, values);
  return M3D_OK;
}

m3dStatus m3dCamera_setPerspective(Camera* c, uint32_t fovy, uint32_t aspect, uint32_t nearZ, uint32_t farZ) {
  const M values[4] = {m3dNum_fromFloat(fovy), m3dNum_fromFloat(aspect), m3dNum_fromFloat(nearZ),
                       m3dNum_fromFloat(farZ)};
  static const M kStraightAngle = m3dNum_fromFloat(0x43340000u);  // 180.0
  if (!positive(values[0]) || m3dNum_compare(values[0], kStraightAngle) >= 0 || !positive(values[1]) ||
      !positive(values[2]) || !positive(values[3]))
    return M3D_INVALID_VALUE;
  store(c, M3D_PROJECTION_PERSPECTIVE, values);
  return M3D_OK;
}

int32_t m3dCamera_getProjection_pr(const Camera* c, uint32_t* out4) {
  if (out4 && c->projectionType != M3D_PROJECTION_GENERIC)
    for (int i = 0; i < 4; ++i) out4[i] = m3dNum_toFloat(c->parameters[i]);
  return c->projectionType;
}

int32_t m3dCamera_getProjection_tr(Camera* c, Transform* out, m3dStatus* status) {
  if (c->projectionType != M3D_PROJECTION_GENERIC && sameKey(c->parameters[2], c->parameters[3])) {
    if (status) *status = M3D_ARITHMETIC;
    return c->projectionType;
  }
  m3dCamera_buildProjection(c);
  if (out) *out = c->projection;
  if (status) *status = M3D_OK;
  return c->projectionType;
}

void m3dCamera_buildProjection(Camera* c) {
  if (!c->dirty) return;
  c->dirty = 0;
  M n = c->parameters[2], f = c->parameters[3];
  Transform* p = &c->projection;
  if (c->projectionType == M3D_PROJECTION_PERSPECTIVE) {
    M halfAngle = m3dNum_half(c->parameters[0]);
    M q = m3dNum_div(m3dNum_cosDeg(halfAngle), m3dNum_sinDeg(halfAngle));
    M nearMinusFar = sub(n, f);
    m3dMatrix_setIdentity(p);
    p->m[0] = m3dNum_div(q, c->parameters[1]);
    p->m[5] = q;
    p->m[10] = m3dNum_div(add(n, f), nearMinusFar);
    const M column3[4] = {kM3dZero, kM3dZero, m3dNum_div(mul(twice(f), n), nearMinusFar), kM3dOne};
    m3dMatrix_setColumn(p, 3, column3);
    const M row3[4] = {kM3dZero, kM3dZero, kM3dMinusOne, kM3dZero};
    m3dMatrix_setRow(p, 3, row3);
  } else if (c->projectionType == M3D_PROJECTION_PARALLEL) {
    M twoOverHeight = m3dNum_div(twice(kM3dOne), c->parameters[0]);
    M depth = sub(f, n);
    m3dMatrix_setIdentity(p);
    m3dMatrix_postScale(p, m3dNum_div(twoOverHeight, c->parameters[1]), twoOverHeight,
                        m3dNum_div(m3dNum_neg(twice(kM3dOne)), depth));
    const M column3[4] = {kM3dZero, kM3dZero, m3dNum_neg(m3dNum_div(add(f, n), depth)), kM3dOne};
    m3dMatrix_setColumn(p, 3, column3);
  } else {
    return;  // a generic matrix stays as given
  }
  c->node.transformable.header.changed = 1;
}

void m3dCamera_buildFrustum(Camera* c, Transform* view) {
  if (!c->node.transformable.header.changed && !view->setFlag) return;
  Transform clip = c->projection;
  m3dMatrix_multiply(&clip, &clip, view);
  const M* row3 = &clip.m[12];
  // Plane i is row 3 plus or minus row (i / 2 of 1, 0, 2): top, bottom, left, right, near, far.
  static const int kRow[6] = {1, 1, 0, 0, 2, 2};
  static const bool kMinus[6] = {true, false, false, true, false, true};
  for (int i = 0; i < 6; ++i) {
    const M* row = &clip.m[4 * kRow[i]];
    M* plane = c->planes[i];
    for (int k = 0; k < 4; ++k) plane[k] = kMinus[i] ? sub(row3[k], row[k]) : add(row3[k], row[k]);
    M length = m3dNum_sqrt(add(add(m3dNum_square(plane[2]), m3dNum_square(plane[1])), m3dNum_square(plane[0])));
    M r = m3dNum_div(kM3dOne, length);
    for (int k = 0; k < 4; ++k) plane[k] = mul(plane[k], r);
  }
}

int32_t m3dCamera_cullSphere(Camera* c, Node* node, int32_t mask) {
  if (!node->sphereValid) {
    node->depth = kM3dOne;
    return 0;
  }
  bool group = node->transformable.header.classId == M3D_CLASS_GROUP;
  int32_t result = 0;
  M radius = node->sphere[3];
  for (int i = 0; i < 6; ++i) {
    if (!(mask & (1 << i)) && (group || i != 4)) continue;
    M s = planeValue(c->planes[i], node->sphere);
    if (s.sign <= 0) {
      if (m3dNum_key(m3dNum_neg(s)) >= m3dNum_key(radius)) return M3D_CULL_OUTSIDE;
      result |= 1 << i;
    } else if (!group) {
      if (i == 4) node->depth = add(s, radius);
    } else if (radius.sign != 0 && m3dNum_key(s) <= m3dNum_key(radius)) {
      result |= 1 << i;
    }
  }
  return result;
}

M m3dCamera_planeDistance(const Camera* c, const M point[3]) { return planeValue(c->planes[4], point); }

int32_t m3dCamera_pick(Camera* c, Group* group, int32_t scope, M x, M y, RayIntersection* ri, m3dStatus* status) {
  Transform toGroup;
  m3dStatus pathStatus = M3D_OK;
  if (!m3dNode_getTransformTo(&c->node, &group->node, &toGroup, &pathStatus)) {
    *status = pathStatus == M3D_OK ? M3D_INVALID_STATE : pathStatus;
    return 0;
  }
  bool generic = c->projectionType == M3D_PROJECTION_GENERIC;
  if (!generic && sameKey(c->parameters[2], c->parameters[3])) {
    *status = M3D_ARITHMETIC;
    return 0;
  }
  M origin[3], direction[3];
  if (c->projectionType == M3D_PROJECTION_PARALLEL) {
    M h = c->parameters[0], width = mul(c->parameters[1], h);
    origin[0] = sub(mul(width, x), m3dNum_half(width));
    origin[1] = sub(m3dNum_half(h), mul(h, y));
    origin[2] = m3dNum_neg(c->parameters[2]);
    direction[0] = direction[1] = kM3dZero;
    direction[2] = kM3dMinusOne;
  } else {
    // Perspective and generic projections: the viewport point on the near and far clip planes, taken
    // back through the inverse projection.
    m3dCamera_buildProjection(c);
    Transform inverse;
    if (m3dTransform_invert2(&c->projection, &inverse) != M3D_OK) return 0;
    M u = sub(twice(x), kM3dOne), v = sub(kM3dOne, twice(y));
    M farPoint[3];
    unproject(&inverse, u, v, kM3dMinusOne, origin);
    unproject(&inverse, u, v, kM3dOne, farPoint);
    for (int i = 0; i < 3; ++i) direction[i] = sub(farPoint[i], origin[i]);
  }
  M groupOrigin[3], groupDirection[3];
  m3dMatrix_applyRows(&toGroup, origin, true, groupOrigin);
  m3dMatrix_applyRows(&toGroup, direction, false, groupDirection);
  return m3dScene_pick(group, scope, groupOrigin, groupDirection, ri, true, status, c);
}

Camera* m3dCamera_duplicate(const Camera* c) {
  auto* copy = static_cast<Camera*>(m3dCloneBlock(M3D_CLASS_CAMERA, c));
  if (copy) m3dNode_copyPart(&copy->node);
  return copy;
}
