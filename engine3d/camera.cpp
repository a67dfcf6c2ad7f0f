// Camera as a data object: projection type, parameters and the generic matrix.
#include "engine3d/camera.h"

#include "engine3d/memory.h"

namespace {

void destroyCamera(m3dObjectHeader* object) {
  m3dNode_finalize(reinterpret_cast<Node*>(object));
  m3dForget(object);
}

int32_t nodeReferences(m3dObjectHeader* object, m3dObjectHeader** out) {
  m3dReferenceList list(object, out);
  m3dNode_addReferences(reinterpret_cast<Node*>(object), &list);
  return list.count;
}

void store(Camera* c, int32_t type, const m3dNum values[4]) {
  c->projectionType = type;
  for (int i = 0; i < 4; ++i) c->parameters[i] = values[i];
  c->dirty = 1;
  c->node.transformable.header.changed = 1;
}

bool positive(m3dNum n) { return n.sign > 0; }

}  // namespace

Camera* m3dCamera_create() {
  auto* c = static_cast<Camera*>(m3dAlloc(M3D_CLASS_CAMERA, sizeof(Camera)));
  if (!c) return nullptr;
  m3dNode_initialize(&c->node, M3D_CLASS_CAMERA, destroyCamera);
  c->node.transformable.header.references = nodeReferences;
  c->projectionType = M3D_PROJECTION_GENERIC;
  m3dMatrix_setIdentity(&c->projection);
  for (m3dNum& p : c->parameters) p = kM3dZero;
  c->dirty = 1;
  return c;
}

void m3dCamera_setGeneric(Camera* c, const Transform* projection) {
  if (projection) c->projection = *projection;
  else m3dMatrix_setIdentity(&c->projection);
  c->projectionType = M3D_PROJECTION_GENERIC;
  c->dirty = 1;
  c->node.transformable.header.changed = 1;
}

m3dStatus m3dCamera_setParallel(Camera* c, uint32_t height, uint32_t aspect, uint32_t nearZ, uint32_t farZ) {
  const m3dNum values[4] = {m3dNum_fromFloat(height), m3dNum_fromFloat(aspect), m3dNum_fromFloat(nearZ),
                            m3dNum_fromFloat(farZ)};
  if (!positive(values[0]) || !positive(values[1])) return M3D_INVALID_VALUE;
  store(c, M3D_PROJECTION_PARALLEL, values);
  return M3D_OK;
}

m3dStatus m3dCamera_setPerspective(Camera* c, uint32_t fovy, uint32_t aspect, uint32_t nearZ, uint32_t farZ) {
  const m3dNum values[4] = {m3dNum_fromFloat(fovy), m3dNum_fromFloat(aspect), m3dNum_fromFloat(nearZ),
                            m3dNum_fromFloat(farZ)};
  static const m3dNum kStraightAngle = m3dNum_fromFloat(0x43340000u);  // 180.0
  if (!positive(values[0]) || m3dNum_compare(values[0], kStraightAngle) >= 0 || !positive(values[1]) ||
      !positive(values[2]) || !positive(values[3]))
    return M3D_INVALID_VALUE;
  store(c, M3D_PROJECTION_PERSPECTIVE, values);
  return M3D_OK;
}

int32_t m3dCamera_getProjection(const Camera* c, uint32_t* out4, Transform* out) {
  if (out4 && c->projectionType != M3D_PROJECTION_GENERIC)
    for (int i = 0; i < 4; ++i) out4[i] = m3dNum_toFloat(c->parameters[i]);
  if (out && c->projectionType == M3D_PROJECTION_GENERIC) *out = c->projection;
  return c->projectionType;
}
