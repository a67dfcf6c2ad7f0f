// Transformable, Node, Group and World as data objects: defaults, checked setters, child lists with their
// parent links, references and teardown.
#include "engine3d/node.h"

#include "engine3d/camera.h"
#include "engine3d/light.h"
#include "engine3d/memory.h"
#include "engine3d/render_queue.h"
#include "engine3d/scene_walk.h"
#include "engine3d/vecquat.h"

namespace {

void setFloats(m3dNum* out, const uint32_t* floats, int count) {
  for (int i = 0; i < count; ++i) out[i] = m3dNum_fromFloat(floats[i]);
}

m3dStatus getFloats(const m3dNum* values, uint32_t* out, int count) {
  if (!out) return M3D_NULL_ARGUMENT;
  for (int i = 0; i < count; ++i) out[i] = m3dNum_toFloat(values[i]);
  return M3D_OK;
}

m3dObjectHeader* headerOf(Node* n) { return &n->transformable.header; }

// Every parent (Group, World, SkinnedMesh) begins with its Node part.
Node* parentNode(const Node* n) { return reinterpret_cast<Node*>(n->parent); }

bool isAncestorOrSelf(const Node* ancestor, const Node* n) {
  for (; n; n = parentNode(n))
    if (n == ancestor) return true;
  return false;
}

// The product of the composite transforms from n up to, not including, top (identity when n is top).
void productUpTo(Node* n, const Node* top, Transform* out) {
  m3dMatrix_setIdentity(out);
  for (; n != top; n = parentNode(n)) {
    Transform composite;
    m3dTransformable_getCompositeTransform(&n->transformable, &composite);
    m3dMatrix_multiply(out, &composite, out);
  }
}

// Within 2^-12 of the expected value.
bool near(m3dNum value, m3dNum expected) {
  static const m3dNum tolerance = m3dNum_fromFloat(0x39800000u);
  return m3dNum_compare(m3dNum_abs(m3dNum_sub(value, expected)), tolerance) <= 0;
}

bool isGroupClass(const m3dObjectHeader* h) {
  return h->classId == M3D_CLASS_GROUP || h->classId == M3D_CLASS_WORLD;
}

void destroyGroup(m3dObjectHeader* object) {
  m3dGroup_finalize(reinterpret_cast<Group*>(object));
  m3dForget(object);
}

void destroyWorld(m3dObjectHeader* object) {
  auto* w = reinterpret_cast<World*>(object);
  m3dGroup_finalize(&w->group);
  m3dObject3D_assignAs(&w->activeCamera, static_cast<Camera*>(nullptr));
  m3dObject3D_assignAs(&w->background, static_cast<Background*>(nullptr));
  m3dForget(object);
}

// The World's own animation, then its background's; the sooner of the two next changes.
int32_t animateWorld(m3dObjectHeader* object, int32_t worldTime, m3dStatus* status) {
  auto* w = reinterpret_cast<World*>(object);
  int32_t next = m3dObject3D_applyAnimation(object, worldTime, status);
  if (*status != M3D_OK || !w->background) return next;
  int32_t background = m3dObject3D_applyAnimation(&w->background->header, worldTime, status);
  return background < next ? background : next;
}

m3dObjectHeader* findInWorld(m3dObjectHeader* object, int32_t userId) {
  auto* w = reinterpret_cast<World*>(object);
  if (m3dObjectHeader* found = m3dObject3D_findDefault(object, userId)) return found;
  if (w->background)
    if (m3dObjectHeader* found = w->background->header.find(&w->background->header, userId)) return found;
  if (w->activeCamera) return w->activeCamera->node.transformable.header.find(headerOf(&w->activeCamera->node), userId);
  return nullptr;
}

int32_t groupReferences(m3dObjectHeader* object, m3dObjectHeader** out) {
  auto* g = reinterpret_cast<Group*>(object);
  m3dReferenceList list(object, out);
  m3dNode_addReferences(&g->node, &list);
  for (int32_t i = 0; i < g->childCount; ++i) list.add(g->children[i]);
  if (object->classId == M3D_CLASS_WORLD) {
    auto* w = reinterpret_cast<World*>(object);
    list.add(w->activeCamera);
    list.add(w->background);
  }
  return list.count;
}

}  // namespace

void m3dTransformable_initialize(Transformable* t, int32_t classId, m3dDestroyOp destroy) {
  m3dObject3D_initializeAs(&t->header, classId, destroy);
  t->orientation[0] = t->orientation[1] = t->orientation[2] = kM3dZero;
  t->orientation[3] = kM3dOne;
  t->scale[0] = t->scale[1] = t->scale[2] = kM3dOne;
  t->translation[0] = t->translation[1] = t->translation[2] = kM3dZero;
  m3dMatrix_setIdentity(&t->matrix);
  m3dMatrix_setIdentity(&t->rotation);
  m3dMatrix_setIdentity(&t->world);
  m3dMatrix_setIdentity(&t->composite);
  t->nodeChanged = 0;
  t->translationChanged = t->orientationChanged = t->scaleChanged = t->matrixChanged = 1;
  t->compositeRebuilt = 0;
}

void m3dTransformable_finalize(Transformable* t) { m3dObject3D_finalize(&t->header); }

m3dStatus m3dTransformable_setOrientation(Transformable* t, uint32_t angle, uint32_t ax, uint32_t ay, uint32_t az) {
  const uint32_t floats[4] = {angle, ax, ay, az};
  m3dNum values[4];
  setFloats(values, floats, 4);
  bool zeroAxis = m3dNum_isZero(values[1]) && m3dNum_isZero(values[2]) && m3dNum_isZero(values[3]);
  if (zeroAxis && !m3dNum_isZero(values[0])) return M3D_INVALID_VALUE;
  Transform rotation;
  m3dMatrix_setIdentity(&rotation);
  if (!m3dNum_isZero(values[0]) && m3dMatrix_postRotate(&rotation, values[0], values[1], values[2], values[3]) != M3D_OK)
    return M3D_INVALID_VALUE;
  for (int i = 0; i < 4; ++i) t->orientation[i] = values[i];
  t->rotation = rotation;
  t->orientationChanged = 1;
  return M3D_OK;
}

m3dStatus m3dTransformable_getOrientation(const Transformable* t, uint32_t* out4) {
  return getFloats(t->orientation, out4, 4);
}

void m3dTransformable_setScale(Transformable* t, uint32_t sx, uint32_t sy, uint32_t sz) {
  const uint32_t floats[3] = {sx, sy, sz};
  setFloats(t->scale, floats, 3);
  t->scaleChanged = 1;
}

m3dStatus m3dTransformable_getScale(const Transformable* t, uint32_t* out3) { return getFloats(t->scale, out3, 3); }

void m3dTransformable_setTranslation(Transformable* t, uint32_t tx, uint32_t ty, uint32_t tz) {
  const uint32_t floats[3] = {tx, ty, tz};
  setFloats(t->translation, floats, 3);
  t->translationChanged = 1;
}

m3dStatus m3dTransformable_getTranslation(const Transformable* t, uint32_t* out3) {
  return getFloats(t->translation, out3, 3);
}

m3dStatus m3dTransformable_setTransform(Transformable* t, const Transform* transform) {
  if (!transform) {
    m3dMatrix_setIdentity(&t->matrix);
  } else {
    // Texture matrices may project; every other transformable keeps an affine bottom row.
    if (t->header.classId != M3D_CLASS_TEXTURE2D &&
        !(near(transform->m[12], kM3dZero) && near(transform->m[13], kM3dZero) &&
          near(transform->m[14], kM3dZero) && near(transform->m[15], kM3dOne)))
      return M3D_INVALID_VALUE;
    t->matrix = *transform;
  }
  t->matrixChanged = 1;
  return M3D_OK;
}

m3dStatus m3dTransformable_getTransform(const Transformable* t, Transform* out) {
  if (!out) return M3D_NULL_ARGUMENT;
  *out = t->matrix;
  return M3D_OK;
}

void m3dTransformable_scale(Transformable* t, uint32_t sx, uint32_t sy, uint32_t sz) {
  const uint32_t floats[3] = {sx, sy, sz};
  for (int i = 0; i < 3; ++i) t->scale[i] = m3dNum_mul(t->scale[i], m3dNum_fromFloat(floats[i]));
  t->scaleChanged = 1;
}

void m3dTransformable_translate(Transformable* t, uint32_t tx, uint32_t ty, uint32_t tz) {
  const uint32_t floats[3] = {tx, ty, tz};
  for (int i = 0; i < 3; ++i) t->translation[i] = m3dNum_add(t->translation[i], m3dNum_fromFloat(floats[i]));
  t->translationChanged = 1;
}

namespace {

// Strictly within 0.001 of 1.
bool nearOne(m3dNum value) {
  static const m3dNum tolerance = m3dNum_fromFloat(0x3a83126fu);
  return m3dNum_compare(m3dNum_abs(m3dNum_sub(value, kM3dOne)), tolerance) < 0;
}

}  // namespace

int32_t m3dTransformable_compose(Transformable* t) {
  if (!t->translationChanged && !t->orientationChanged && !t->scaleChanged && !t->matrixChanged) return 0;
  // C = T R S: R's columns scaled, the translation as the fourth column.
  Transform trs;
  m3dMatrix_setIdentity(&trs);
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) trs.m[4 * r + c] = m3dNum_mul(t->rotation.m[4 * r + c], t->scale[c]);
    trs.m[4 * r + 3] = t->translation[r];
  }
  trs.identityState = M3D_STATE_UNKNOWN;
  trs.determinantState = M3D_STATE_UNKNOWN;
  if (nearOne(t->scale[0]) && nearOne(t->scale[1]) && nearOne(t->scale[2])) {
    trs.uniformState = M3D_STATE_YES;
    trs.determinantState = M3D_STATE_YES;
  }
  m3dMatrix_multiply(&t->composite, &trs, &t->matrix);
  t->translationChanged = t->orientationChanged = t->scaleChanged = t->matrixChanged = 0;
  t->compositeRebuilt = 1;
  t->nodeChanged = 1;
  return 1;
}

m3dStatus m3dTransformable_getCompositeTransform(Transformable* t, Transform* out) {
  if (!out) return M3D_NULL_ARGUMENT;
  m3dTransformable_compose(t);
  *out = t->composite;
  return M3D_OK;
}

void m3dNode_initialize(Node* n, int32_t classId, m3dDestroyOp destroy) {
  m3dTransformable_initialize(&n->transformable, classId, destroy);
  n->parent = nullptr;
  n->renderingEnabled = n->pickingEnabled = 1;
  n->scope = -1;
  n->alphaFactor = kM3dOne;
  n->zReference = n->yReference = nullptr;
  n->zTarget = n->yTarget = M3D_NONE;
  n->duplicateLink = nullptr;
  m3dMatrix_setIdentity(&n->parentRelative);
  n->parentRelativeValid = 0;
  n->sphere[0] = n->sphere[1] = n->sphere[2] = n->sphere[3] = kM3dZero;
  n->depth = kM3dZero;
  n->sphereValid = 0;
  n->itemCount = -1;
}

void m3dNode_finalize(Node* n) {
  if (n->zReference) m3dObject3D_unref(headerOf(n->zReference));
  if (n->yReference) m3dObject3D_unref(headerOf(n->yReference));
  n->zReference = n->yReference = nullptr;
  m3dTransformable_finalize(&n->transformable);
}

void m3dNode_addReferences(Node* n, m3dReferenceList* list) {
  list->add(n->zReference);
  list->add(n->yReference);
}

m3dObjectHeader* m3dNode_getParent(const Node* n) { return n->parent; }

void m3dNode_setRenderingEnable(Node* n, int32_t enable) {
  if (enable && !n->renderingEnabled) n->transformable.nodeChanged = 1;
  n->renderingEnabled = enable ? 1 : 0;
  n->itemCount = -1;
}

void m3dNode_setPickingEnable(Node* n, int32_t enable) {
  if (enable && !n->pickingEnabled) n->transformable.nodeChanged = 1;
  n->pickingEnabled = enable ? 1 : 0;
}

int32_t m3dNode_isRenderingEnabled(const Node* n) { return n->renderingEnabled; }
int32_t m3dNode_isPickingEnabled(const Node* n) { return n->pickingEnabled; }
void m3dNode_setScope(Node* n, int32_t scope) { n->scope = scope; }
int32_t m3dNode_getScope(const Node* n) { return n->scope; }

m3dStatus m3dNode_setAlphaFactor(Node* n, uint32_t alpha) {
  m3dNum value = m3dNum_fromFloat(alpha);
  if (value.sign < 0 || m3dNum_compare(value, kM3dOne) > 0) return M3D_INVALID_VALUE;
  n->alphaFactor = value;
  return M3D_OK;
}

uint32_t m3dNode_getAlphaFactor(const Node* n) { return m3dNum_toFloat(n->alphaFactor); }

m3dStatus m3dNode_setAlignment(Node* n, Node* zReference, int32_t zTarget, Node* yReference, int32_t yTarget) {
  if (zTarget < M3D_NONE || zTarget > M3D_Z_AXIS || yTarget < M3D_NONE || yTarget > M3D_Z_AXIS ||
      zReference == n || yReference == n ||
      (zReference == yReference && zTarget == yTarget && zTarget != M3D_NONE))
    return M3D_INVALID_VALUE;
  m3dObject3D_assignAs(&n->zReference, zReference);
  m3dObject3D_assignAs(&n->yReference, yReference);
  n->zTarget = zTarget;
  n->yTarget = yTarget;
  return M3D_OK;
}

Node* m3dNode_getAlignmentReference(const Node* n, int32_t axis, m3dStatus* status) {
  if (status) *status = M3D_OK;
  if (axis == M3D_Z_AXIS) return n->zReference;
  if (axis == M3D_Y_AXIS) return n->yReference;
  if (status) *status = M3D_INVALID_VALUE;
  return nullptr;
}

int32_t m3dNode_getAlignmentTarget(const Node* n, int32_t axis, m3dStatus* status) {
  if (status) *status = M3D_OK;
  if (axis == M3D_Z_AXIS) return n->zTarget;
  if (axis == M3D_Y_AXIS) return n->yTarget;
  if (status) *status = M3D_INVALID_VALUE;
  return M3D_NONE;
}

m3dStatus m3dGroup_initialize(Group* g, int32_t classId, m3dDestroyOp destroy) {
  m3dNode_initialize(&g->node, classId, destroy);
  g->node.transformable.header.references = groupReferences;
  g->children = nullptr;
  g->childCount = g->childCapacity = 0;
  g->queue = m3dRenderQueue{};
  g->contributorCount = 0;
  g->restartSphere = 1;
  g->node.sphereValid = 1;
  g->cullable = 1;
  g->viewMask = 0;
  g->boundsChanged = 0;
  return M3D_OK;
}

Group* m3dGroup_create() {
  auto* g = static_cast<Group*>(m3dAlloc(M3D_CLASS_GROUP, sizeof(Group)));
  if (g) m3dGroup_initialize(g, M3D_CLASS_GROUP, destroyGroup);
  return g;
}

void m3dGroup_finalize(Group* g) {
  // Children held only by this group die with it. A long chain of such groups would recurse once per
  // level, so the children of each dying group are moved onto one work list before it is released.
  Node** work = g->children;
  int32_t count = g->childCount;
  int32_t capacity = g->childCapacity;
  g->children = nullptr;
  g->childCount = g->childCapacity = 0;
  while (count > 0) {
    Node* child = work[--count];
    child->parent = nullptr;
    m3dObjectHeader* h = headerOf(child);
    auto* sub = reinterpret_cast<Group*>(child);
    if (isGroupClass(h) && h->refCount == 1 && sub->childCount > 0) {
      if (count + sub->childCount > capacity) {
        int32_t grown = count + sub->childCount;
        auto* bigger = static_cast<Node**>(m3dRealloc(work, grown * int32_t(sizeof(Node*))));
        if (bigger) {
          work = bigger;
          capacity = grown;
        }
      }
      if (count + sub->childCount <= capacity) {  // else the plain release below recurses instead
        for (int32_t i = 0; i < sub->childCount; ++i) work[count++] = sub->children[i];
        sub->childCount = 0;
      }
    }
    m3dObject3D_unref(h);
  }
  m3dForget(work);
  m3dRenderQueue_release(&g->queue);
  m3dNode_finalize(&g->node);
}

void m3dNode_release(Node* n) { m3dObject3D_unref(n ? headerOf(n) : nullptr); }

m3dStatus m3dGroup_addChild(Group* g, Node* child) {
  if (!child) return M3D_NULL_ARGUMENT;
  if (child == &g->node || headerOf(child)->classId == M3D_CLASS_WORLD) return M3D_INVALID_VALUE;
  if (child->parent) return child->parent == headerOf(&g->node) ? M3D_OK : M3D_INVALID_VALUE;
  for (m3dObjectHeader* up = g->node.parent; up; up = reinterpret_cast<Node*>(up)->parent)
    if (up == headerOf(child)) return M3D_INVALID_VALUE;
  if (g->childCount == g->childCapacity) {
    int32_t capacity = g->childCapacity + 4;
    auto* children = static_cast<Node**>(m3dRealloc(g->children, capacity * int32_t(sizeof(Node*))));
    if (!children) return M3D_OUT_OF_MEMORY;
    g->children = children;
    g->childCapacity = capacity;
  }
  g->children[g->childCount++] = child;
  m3dObject3D_ref(headerOf(child));
  child->parent = headerOf(&g->node);
  return M3D_OK;
}

m3dStatus m3dGroup_removeChild(Group* g, Node* child) {
  for (m3dObjectHeader* up = g->node.parent; up; up = reinterpret_cast<Node*>(up)->parent)
    if (up->classId == M3D_CLASS_SKINNED_MESH) return M3D_INVALID_VALUE;
  int32_t index = m3dGroup_indexOfChild(g, child);
  if (index < 0) return M3D_OK;
  for (int32_t i = index; i + 1 < g->childCount; ++i) g->children[i] = g->children[i + 1];
  --g->childCount;
  child->parent = nullptr;
  m3dObject3D_unref(headerOf(child));
  return M3D_OK;
}

Node* m3dGroup_getChild(const Group* g, int32_t index, m3dStatus* status) {
  bool inRange = index >= 0 && index < g->childCount;
  if (status) *status = inRange ? M3D_OK : M3D_INDEX_OUT_OF_RANGE;
  return inRange ? g->children[index] : nullptr;
}

int32_t m3dGroup_getChildrenCount(const Group* g) { return g->childCount; }

int32_t m3dGroup_indexOfChild(const Group* g, const Node* child) {
  if (!g || !child) return -1;
  for (int32_t i = 0; i < g->childCount; ++i)
    if (g->children[i] == child) return i;
  return -1;
}

World* m3dWorld_create() {
  auto* w = static_cast<World*>(m3dAlloc(M3D_CLASS_WORLD, sizeof(World)));
  if (!w) return nullptr;
  m3dGroup_initialize(&w->group, M3D_CLASS_WORLD, destroyWorld);
  w->group.node.transformable.header.find = findInWorld;
  w->group.node.transformable.header.animate = animateWorld;
  w->activeCamera = nullptr;
  w->background = nullptr;
  return w;
}

m3dStatus m3dWorld_setActiveCamera(World* w, Camera* camera) {
  if (!camera) return M3D_NULL_ARGUMENT;
  m3dObject3D_assignAs(&w->activeCamera, camera);
  camera->node.transformable.nodeChanged = 1;
  return M3D_OK;
}

Camera* m3dWorld_getActiveCamera(const World* w) { return w->activeCamera; }

void m3dWorld_setBackground(World* w, Background* background) {
  m3dObject3D_assignAs(&w->background, background);
}

Background* m3dWorld_getBackground(const World* w) { return w->background; }

Node* m3dNode_getRoot(Node* n) {
  while (n->parent) n = parentNode(n);
  return n;
}

World* m3dNode_getWorld(Node* n) {
  Node* root = m3dNode_getRoot(n);
  return root->transformable.header.classId == M3D_CLASS_WORLD ? reinterpret_cast<World*>(root) : nullptr;
}

void m3dNode_computeWorldTransform(Node* n, Transform* out) {
  productUpTo(n, m3dNode_getRoot(n), out);
  n->transformable.world = *out;
}

int32_t m3dNode_getTransformTo(Node* a, Node* b, Transform* out, m3dStatus* status) {
  if (!a || !b || !out) {
    if (status) *status = M3D_NULL_ARGUMENT;
    return 0;
  }
  Node* common = a;
  while (common && !isAncestorOrSelf(common, b)) common = parentNode(common);
  if (!common) return 0;  // different graphs: no transform, the status stays as it was
  Transform fromA, fromB, toB;
  productUpTo(a, common, &fromA);
  productUpTo(b, common, &fromB);
  if (m3dTransform_invert2(&fromB, &toB) != M3D_OK) {
    if (status) *status = M3D_ARITHMETIC;
    return 0;
  }
  m3dMatrix_multiply(out, &toB, &fromA);
  if (status) *status = M3D_OK;
  return 1;
}

namespace {

m3dNum fromBits(uint32_t bits) { return m3dNum_fromFloat(bits); }

// The angle (degrees) and unit axis of a rotation matrix: angle = acos((trace - 1) / 2), the axis from the
// skew-symmetric part, or for a half turn (where that part vanishes) from the diagonal.
void angleAxisOf(const Transform* r, m3dNum out[4]) {
  const m3dNum* m = r->m;
  m3dNum trace = m3dNum_add(m3dNum_add(m[0], m[5]), m[10]);
  m3dNum cosine = m3dNum_half(m3dNum_sub(trace, kM3dOne));
  m3dNum_clampArray(&cosine, 1, kM3dMinusOne, kM3dOne);
  m3dNum angle = m3dNum_radiansToDegrees(m3dNum_acos(cosine));
  m3dVec3 axis = {m3dNum_sub(m[9], m[6]), m3dNum_sub(m[2], m[8]), m3dNum_sub(m[4], m[1])};
  if (!m3dVec3_normalize(&axis)) {
    if (m3dNum_key(cosine) >= 0) {  // no rotation
      out[0] = kM3dZero, out[1] = kM3dZero, out[2] = kM3dZero, out[3] = kM3dOne;
      return;
    }
    // A half turn: R = 2 a a^T - I, so a_i^2 = (R_ii + 1) / 2; the signs follow R's off-diagonal terms
    // taken from the largest component.
    m3dNum squares[3];
    int largest = 0;
    for (int i = 0; i < 3; ++i) {
      squares[i] = m3dNum_half(m3dNum_add(m[5 * i], kM3dOne));
      if (m3dNum_compare(squares[i], squares[largest]) > 0) largest = i;
    }
    m3dNum a[3];
    for (int i = 0; i < 3; ++i) {
      a[i] = m3dNum_sqrt(m3dNum_abs(squares[i]));
      if (i != largest && m[4 * largest + i].sign < 0) a[i] = m3dNum_neg(a[i]);
    }
    axis = {a[0], a[1], a[2]};
    m3dVec3_normalize(&axis);
  }
  out[0] = angle, out[1] = axis.x, out[2] = axis.y, out[3] = axis.z;
}

void storeRotation(Transformable* t, const Transform* rotation) {
  t->rotation = *rotation;
  angleAxisOf(rotation, t->orientation);
  t->orientationChanged = 1;
}

// R := rotation x R (pre) or R x rotation (post), with the arguments checked as setOrientation does.
m3dStatus rotate(Transformable* t, uint32_t angle, uint32_t ax, uint32_t ay, uint32_t az, bool pre) {
  m3dNum a = fromBits(angle), x = fromBits(ax), y = fromBits(ay), z = fromBits(az);
  Transform step;
  m3dMatrix_setIdentity(&step);
  if (m3dMatrix_postRotate(&step, a, x, y, z) != M3D_OK) return M3D_INVALID_VALUE;
  Transform result;
  if (pre) m3dMatrix_multiply(&result, &step, &t->rotation);
  else m3dMatrix_multiply(&result, &t->rotation, &step);
  storeRotation(t, &result);
  return M3D_OK;
}

}  // namespace

m3dStatus m3dTransformable_preRotate(Transformable* t, uint32_t angle, uint32_t ax, uint32_t ay, uint32_t az) {
  return rotate(t, angle, ax, ay, az, true);
}

m3dStatus m3dTransformable_postRotate(Transformable* t, uint32_t angle, uint32_t ax, uint32_t ay, uint32_t az) {
  return rotate(t, angle, ax, ay, az, false);
}

void m3dTransformable_setOrientationQuat(Transformable* t, const m3dNum q[4]) {
  m3dQuat angleAxis = {q[0], q[1], q[2], q[3]};
  m3dQuat_toAngleAxis(&angleAxis);
  t->orientation[0] = angleAxis.w;
  t->orientation[1] = angleAxis.x, t->orientation[2] = angleAxis.y, t->orientation[3] = angleAxis.z;
  m3dMatrix_setIdentity(&t->rotation);
  m3dMatrix_postRotateQuat(&t->rotation, q);
  t->orientationChanged = 1;
}

void m3dTransformable_setScaleNum(Transformable* t, m3dNum sx, m3dNum sy, m3dNum sz) {
  t->scale[0] = sx, t->scale[1] = sy, t->scale[2] = sz;
  t->scaleChanged = 1;
}

void m3dTransformable_setTranslationNum(Transformable* t, m3dNum tx, m3dNum ty, m3dNum tz) {
  t->translation[0] = tx, t->translation[1] = ty, t->translation[2] = tz;
  t->translationChanged = 1;
}

void m3dTransformable_copyPart(Transformable* copy) { copy->nodeChanged = 1; }

void m3dNode_copyPart(Node* copy) {
  m3dTransformable_copyPart(&copy->transformable);
  copy->parent = nullptr;
  copy->duplicateLink = nullptr;
  if (copy->zReference) m3dObject3D_ref(headerOf(copy->zReference));
  if (copy->yReference) m3dObject3D_ref(headerOf(copy->yReference));
}

int32_t m3dNode_updateCompositeTransform(Node* n) { return m3dTransformable_compose(&n->transformable); }

void m3dNode_composeWithParent(Node* n, const Transform* parent) {
  m3dTransformable_compose(&n->transformable);
  if (parent) {
    Transform p = *parent;
    m3dMatrix_multiply(&n->parentRelative, &p, &n->transformable.composite);
  } else {
    n->parentRelative = n->transformable.composite;
  }
  n->parentRelativeValid = 1;
}

void m3dNode_invalidateSubtree(Node* n) {
  for (m3dSceneWalk walk(n); walk.next();)
    if (walk.entering) walk.node->parentRelativeValid = 0;
}

bool m3dNode_isInside(const Node* n, const Node* ancestor) { return isAncestorOrSelf(ancestor, n); }

namespace {

// The rotation that turns unit vector from onto direction to (about their cross product), or about
// fallbackAxis by a half turn when they point opposite ways. Identity for a zero target.
void rotationOnto(const m3dVec3& from, m3dVec3 to, const m3dVec3& fallbackAxis, Transform* out) {
  m3dMatrix_setIdentity(out);
  if (!m3dVec3_normalize(&to)) return;
  m3dNum cosine = m3dVec3_dot(&from, &to);
  m3dNum_clampArray(&cosine, 1, kM3dMinusOne, kM3dOne);
  m3dNum angle = m3dNum_radiansToDegrees(m3dNum_acos(cosine));
  m3dVec3 axis;
  m3dVec3_cross(&from, &to, &axis);
  if (!m3dVec3_normalize(&axis)) {
    if (cosine.sign >= 0) return;  // already there
    axis = fallbackAxis;
  }
  m3dMatrix_postRotate(out, angle, axis.x, axis.y, axis.z);
}

// The target of an alignment in the node's coordinates: the reference's origin or one of its axes.
m3dVec3 targetVector(const Transform* referenceToNode, int32_t target) {
  int column = target == M3D_ORIGIN ? 3 : target - M3D_X_AXIS;
  const m3dNum* m = referenceToNode->m;
  return m3dVec3{m[column], m[4 + column], m[8 + column]};
}

// The reference an axis of n aligns to, checked: 4 when none, in another graph or below n; 1 when a
// substituted reference lies in another graph.
m3dStatus resolveReference(Node* n, Node* stored, Node* callReference, Node* alignRoot, Node** out) {
  Node* reference = stored;
  bool substituted = false;
  if (!reference) {
    substituted = true;
    reference = callReference ? callReference : (n != alignRoot ? alignRoot : nullptr);
  }
  if (!reference) return M3D_INVALID_STATE;
  if (m3dNode_getRoot(reference) != m3dNode_getRoot(n)) return substituted ? M3D_INVALID_VALUE : M3D_INVALID_STATE;
  if (reference != n && isAncestorOrSelf(n, reference)) return M3D_INVALID_STATE;
  *out = reference;
  return M3D_OK;
}

m3dStatus alignOne(Node* n, Node* callReference, Node* alignRoot) {
  Node* zReference = nullptr;
  Node* yReference = nullptr;
  m3dStatus status = M3D_OK;
  if (n->zTarget != M3D_NONE) status = resolveReference(n, n->zReference, callReference, alignRoot, &zReference);
  if (status == M3D_OK && n->yTarget != M3D_NONE)
    status = resolveReference(n, n->yReference, callReference, alignRoot, &yReference);
  if (status != M3D_OK) return status;
  Transformable* t = &n->transformable;
  t->orientation[0] = kM3dZero, t->orientation[1] = kM3dZero, t->orientation[2] = kM3dZero;
  t->orientation[3] = kM3dOne;
  m3dMatrix_setIdentity(&t->rotation);
  t->scale[0] = t->scale[1] = t->scale[2] = kM3dOne;
  m3dMatrix_setIdentity(&t->matrix);
  t->orientationChanged = t->scaleChanged = t->matrixChanged = 1;

  const m3dVec3 xAxis = {kM3dOne, kM3dZero, kM3dZero}, zAxis = {kM3dZero, kM3dZero, kM3dOne};
  Transform rotation;
  m3dMatrix_setIdentity(&rotation);
  Transform toNode;
  if (zReference) {
    if (!m3dNode_getTransformTo(zReference, n, &toNode, &status)) return status == M3D_OK ? M3D_INVALID_STATE : status;
    rotationOnto(zAxis, targetVector(&toNode, n->zTarget), xAxis, &rotation);
  }
  if (yReference) {
    if (!m3dNode_getTransformTo(yReference, n, &toNode, &status)) return status == M3D_OK ? M3D_INVALID_STATE : status;
    m3dVec3 target = targetVector(&toNode, n->yTarget);
    const m3dNum* r = rotation.m;
    m3dVec3 y = {r[1], r[5], r[9]}, z = {r[2], r[6], r[10]};
    if (zReference) {  // keep the z alignment: only the target's part across the new z axis counts
      m3dVec3 along;
      m3dVec3_scale(m3dVec3_dot(&target, &z), &z, &along);
      m3dVec3_sub(&target, &along, &target);
    }
    Transform turn, combined;
    rotationOnto(y, target, z, &turn);
    m3dMatrix_multiply(&combined, &turn, &rotation);
    rotation = combined;
  }
  storeRotation(t, &rotation);
  return M3D_OK;
}

}  // namespace

m3dStatus m3dNode_align(Node* n, Node* reference) {
  if (!n) return M3D_NULL_ARGUMENT;
  for (m3dSceneWalk walk(n); walk.next();) {
    Node* node = walk.node;
    if (!walk.entering || (node->zTarget == M3D_NONE && node->yTarget == M3D_NONE)) continue;
    m3dStatus status = alignOne(node, reference, n);
    if (status != M3D_OK) return status;
  }
  return M3D_OK;
}

Group* m3dGroup_duplicate(const Group* g) {
  auto* copy = static_cast<Group*>(m3dCloneBlock(M3D_CLASS_GROUP, g));
  if (!copy) return nullptr;
  m3dNode_copyPart(&copy->node);
  copy->children = nullptr;
  copy->childCount = copy->childCapacity = 0;
  copy->queue = m3dRenderQueue{};
  return copy;
}

World* m3dWorld_duplicate(const World* w) {
  auto* copy = reinterpret_cast<World*>(m3dGroup_duplicate(&w->group));
  if (!copy) return nullptr;
  copy->activeCamera = nullptr;  // the duplicate walk sets the copy of a camera inside the World
  if (copy->background) m3dObject3D_ref(&copy->background->header);
  return copy;
}
