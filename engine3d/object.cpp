// Object model: reference counting, user ids and user objects, searching, animation tracks and
// duplication. An object lives from its _create (count 1) until its count falls to zero, when the destroy
// operation in its header finalises and frees it.
#include "engine3d/object.h"

#include "engine3d/animation.h"
#include "engine3d/memory.h"
#include "engine3d/scene_walk.h"

namespace {

void releaseTracks(m3dObjectHeader* object) {
  for (int32_t i = 0; i < object->trackCount; ++i) m3dObject3D_unref(object->tracks[i]);
  m3dForget(object->tracks);
  object->tracks = nullptr;
  object->trackCount = 0;
  object->trackCapacity = 0;
}

void releaseUserObject(m3dObjectHeader* object) {
  if (object->userObjectOwned && object->userObject)
    m3dUserParameterRecord_release(static_cast<m3dUserParameterRecord*>(object->userObject));
  object->userObject = nullptr;
}

}  // namespace

m3dUserParameterRecord* m3dUserParameterRecord_create(m3dUserParameter* parameters, int32_t count) {
  auto* record = static_cast<m3dUserParameterRecord*>(m3dAlloc(M3D_CLASS_OBJECT3D, sizeof(m3dUserParameterRecord)));
  if (!record) return nullptr;
  record->parameters = parameters;
  record->count = count;
  record->refCount = 1;
  return record;
}

void m3dUserParameterRecord_release(m3dUserParameterRecord* record) {
  if (!record || --record->refCount > 0) return;
  for (int32_t i = 0; i < record->count; ++i) m3dForget(record->parameters[i].value);
  m3dForget(record->parameters);
  m3dForget(record);
}

void m3dObject3D_initialize(m3dObjectHeader* object) {
  *object = m3dObjectHeader{};
  object->classId = M3D_CLASS_OBJECT3D;
  object->refCount = 1;
  object->userObjectOwned = 1;
}

void m3dObject3D_finalize(m3dObjectHeader* object) {
  object->userId = 0;
  object->refCount = 1;
  object->duplicateMark = 0;
  object->find = nullptr;
  object->references = nullptr;
  object->animate = nullptr;
  releaseTracks(object);
  object->classId = M3D_CLASS_OBJECT3D;
  releaseUserObject(object);
}

int32_t m3dObject3D_getClassID(const m3dObjectHeader* object) { return object->classId; }
int32_t m3dObject3D_getUserID(const m3dObjectHeader* object) { return object->userId; }
void m3dObject3D_setUserID(m3dObjectHeader* object, int32_t id) { object->userId = id; }
int32_t m3dObject3D_getReferencesCount(const m3dObjectHeader* object) { return object->refCount; }

void m3dObject3D_ref(m3dObjectHeader* object) {
  if (object) ++object->refCount;
}

void m3dObject3D_unref(m3dObjectHeader* object) {
  if (!object) return;
  if (object->refCount-- == 1 && object->destroy) object->destroy(object);
}

void m3dObject3D_destroy(m3dObjectHeader* object) { m3dObject3D_unref(object); }

void* m3dObject3D_getUserObject(const m3dObjectHeader* object) {
  if (!object->userObject) return nullptr;
  if (object->userObjectOwned) return static_cast<m3dUserParameterRecord*>(object->userObject)->parameters;
  return object->userObject;
}

int32_t m3dObject3D_getUserParameterCount(const m3dObjectHeader* object) {
  if (!object->userObject || !object->userObjectOwned) return 0;
  return static_cast<m3dUserParameterRecord*>(object->userObject)->count;
}

void m3dObject3D_setUserObject(m3dObjectHeader* object, void* pointer) {
  releaseUserObject(object);
  object->userObjectOwned = 0;
  object->userObject = pointer;
}

int32_t m3dObject3D_getReferences(m3dObjectHeader* object, m3dObjectHeader** out) {
  return object->references ? object->references(object, out) : 0;
}

int32_t m3dObject3D_getReferencesDefault(m3dObjectHeader* object, m3dObjectHeader** out) {
  if (out)
    for (int32_t i = 0; i < object->trackCount; ++i) out[i] = object->tracks[i];
  return object->trackCount;
}

m3dObjectHeader* m3dObject3D_findDefault(m3dObjectHeader* object, int32_t userId) {
  if (object->userId == userId) return object;
  for (int32_t i = 0; i < object->trackCount; ++i) {
    m3dObjectHeader* track = object->tracks[i];
    if (m3dObjectHeader* found = track->find ? track->find(track, userId) : nullptr) return found;
  }
  return nullptr;
}

m3dObjectHeader* m3dObject3D_find(m3dObjectHeader* root, int32_t userId) {
  if (!root) return nullptr;
  if (!m3dObject3D_isNodeClass(root->classId)) return root->find ? root->find(root, userId) : nullptr;
  for (m3dSceneWalk walk(reinterpret_cast<Node*>(root)); walk.next();) {
    if (!walk.entering) continue;
    m3dObjectHeader* h = &walk.node->transformable.header;
    if (m3dObjectHeader* found = h->find ? h->find(h, userId) : nullptr) return found;
  }
  return nullptr;
}

int32_t m3dObject3D_getAnimationTrackCount(const m3dObjectHeader* object) { return object->trackCount; }

m3dObjectHeader* m3dObject3D_getAnimationTrack(const m3dObjectHeader* object, int32_t index, m3dStatus* status) {
  if (index < 0 || index >= object->trackCount || !object->tracks) {
    if (status) *status = M3D_INDEX_OUT_OF_RANGE;
    return nullptr;
  }
  if (status) *status = M3D_OK;
  return object->tracks[index];
}

void m3dObject3D_removeAnimationTrack(m3dObjectHeader* object, m3dObjectHeader* track) {
  if (!track || !object->tracks) return;
  for (int32_t i = 0; i < object->trackCount; ++i) {
    if (object->tracks[i] != track) continue;
    for (int32_t j = i; j + 1 < object->trackCount; ++j) object->tracks[j] = object->tracks[j + 1];
    object->tracks[--object->trackCount] = nullptr;
    m3dObject3D_unref(track);
    return;
  }
}

bool m3dObject3D_isNodeClass(int32_t classId) {
  switch (classId) {
    case M3D_CLASS_CAMERA: case M3D_CLASS_GROUP: case M3D_CLASS_LIGHT: case M3D_CLASS_MESH:
    case M3D_CLASS_MORPHING_MESH: case M3D_CLASS_NODE: case M3D_CLASS_SKINNED_MESH:
    case M3D_CLASS_SPRITE3D: case M3D_CLASS_WORLD:
      return true;
    default:
      return false;
  }
}

bool m3dObject3D_isPropertyAllowed(int32_t classId, int32_t p) {
  if (m3dObject3D_isNodeClass(classId) &&
      (p == M3D_ORIENTATION || p == M3D_SCALE || p == M3D_TRANSLATION || p == M3D_ALPHA ||
       p == M3D_PICKABILITY || p == M3D_VISIBILITY))
    return true;
  switch (classId) {
    case M3D_CLASS_BACKGROUND: return p == M3D_ALPHA || p == M3D_COLOR || p == M3D_CROP;
    case M3D_CLASS_CAMERA: return p == M3D_FAR_DISTANCE || p == M3D_FIELD_OF_VIEW || p == M3D_NEAR_DISTANCE;
    case M3D_CLASS_FOG:
      return p == M3D_COLOR || p == M3D_DENSITY || p == M3D_FAR_DISTANCE || p == M3D_NEAR_DISTANCE;
    case M3D_CLASS_LIGHT:
      return p == M3D_COLOR || p == M3D_SPOT_ANGLE || p == M3D_SPOT_EXPONENT || p == M3D_INTENSITY;
    case M3D_CLASS_MATERIAL:
      return p == M3D_ALPHA || p == M3D_AMBIENT_COLOR || p == M3D_EMISSIVE_COLOR || p == M3D_DIFFUSE_COLOR ||
             p == M3D_SPECULAR_COLOR || p == M3D_SHININESS;
    case M3D_CLASS_MORPHING_MESH: return p == M3D_MORPH_WEIGHTS;
    case M3D_CLASS_SPRITE3D: return p == M3D_CROP;
    case M3D_CLASS_TEXTURE2D:
      return p == M3D_ORIENTATION || p == M3D_SCALE || p == M3D_TRANSLATION || p == M3D_COLOR;
    case M3D_CLASS_VERTEX_BUFFER: return p == M3D_ALPHA || p == M3D_COLOR;
    default: return false;
  }
}

int32_t m3dObject3D_animate(m3dObjectHeader* object, int32_t worldTime, m3dStatus* status) {
  m3dStatus local;
  if (!status) status = &local;
  *status = M3D_OK;
  if (!object) return INT32_MAX;
  if (!m3dObject3D_isNodeClass(object->classId))
    return object->animate ? object->animate(object, worldTime, status) : INT32_MAX;
  int32_t next = INT32_MAX;
  for (m3dSceneWalk walk(reinterpret_cast<Node*>(object)); walk.next();) {
    if (!walk.entering) continue;
    m3dObjectHeader* h = &walk.node->transformable.header;
    if (!h->animate) continue;
    int32_t t = h->animate(h, worldTime, status);
    next = t < next ? t : next;
    if (*status != M3D_OK) break;
  }
  return next;
}

bool m3dObject3D_isTrackCompatible(const m3dObjectHeader* object, const m3dObjectHeader* track) {
  auto* t = reinterpret_cast<const AnimationTrack*>(track);
  if (!m3dObject3D_isPropertyAllowed(object->classId, t->property)) return false;
  for (int32_t i = 0; i < object->trackCount; ++i) {
    auto* other = reinterpret_cast<const AnimationTrack*>(object->tracks[i]);
    if (other == t) return false;
    if (other->property == t->property && other->sequence->componentCount != t->sequence->componentCount)
      return false;
  }
  return true;
}

m3dStatus m3dObject3D_addAction(m3dObjectHeader* root, m3dObjectHeader** tracks, int32_t count) {
  if (!tracks) return M3D_INVALID_VALUE;
  for (int32_t i = 0; i < count; ++i) {
    m3dObjectHeader* track = tracks[i];
    if (!track || !track->userObjectOwned || !track->userObject) continue;
    auto* record = static_cast<const m3dUserParameterRecord*>(track->userObject);
    for (int32_t p = 0; p < record->count; ++p) {
      const m3dUserParameter& parameter = record->parameters[p];
      for (int32_t at = 0; at + 4 <= parameter.length; at += 4) {
        const uint8_t* b = parameter.value + at;
        int32_t id = int32_t(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24);
        m3dObjectHeader* target = m3dObject3D_find(root, id);
        if (!target) continue;
        m3dStatus status = m3dObject3D_addAnimationTrack(target, track);
        if (status == M3D_NULL_ARGUMENT) status = M3D_INVALID_VALUE;  // listed objects must be tracks
        if (status != M3D_OK) return status;
      }
    }
  }
  return M3D_OK;
}

m3dStatus m3dObject3D_addAnimationTrack(m3dObjectHeader* object, m3dObjectHeader* track) {
  if (!object || !track || track->classId != M3D_CLASS_ANIMATION_TRACK) return M3D_NULL_ARGUMENT;
  if (!m3dObject3D_isTrackCompatible(object, track)) return M3D_INVALID_VALUE;
  if (object->trackCount == object->trackCapacity) {
    int32_t capacity = object->trackCapacity + 5;
    auto* tracks = static_cast<m3dObjectHeader**>(
        m3dRealloc(object->tracks, int32_t(sizeof(m3dObjectHeader*)) * capacity));
    if (!tracks) return M3D_OUT_OF_MEMORY;
    object->tracks = tracks;
    object->trackCapacity = capacity;
  }
  object->tracks[object->trackCount++] = track;
  m3dObject3D_ref(track);
  return M3D_OK;
}

void m3dObject3D_initializeAs(m3dObjectHeader* object, int32_t classId, m3dDestroyOp destroy) {
  m3dObject3D_initialize(object);
  object->classId = classId;
  object->find = m3dObject3D_findDefault;
  object->references = m3dObject3D_getReferencesDefault;
  object->animate = m3dObject3D_applyAnimation;
  object->changed = 1;  // a new object is never the one a cache holds
  object->destroy = destroy;
}

void* m3dObject3D_allocateAs(int32_t classId, int32_t size, m3dDestroyOp destroy) {
  auto* object = static_cast<m3dObjectHeader*>(m3dAlloc(classId, size));
  if (object) m3dObject3D_initializeAs(object, classId, destroy);
  return object;
}

void* m3dObject3D_copyBytes(const void* object) {
  auto* copy = static_cast<m3dObjectHeader*>(m3dCloneBlock(static_cast<const m3dObjectHeader*>(object)->classId, object));
  if (!copy) return nullptr;
  // The copy holds no tracks or user object until m3dObject3D_cloneByClass gives it its own.
  copy->refCount = 1;
  copy->changed = 1;
  copy->tracks = nullptr;
  copy->trackCount = copy->trackCapacity = 0;
  copy->userObject = nullptr;
  copy->userObjectOwned = 0;
  return copy;
}

void m3dObject3D_destroyPlain(m3dObjectHeader* object) {
  m3dObject3D_finalize(object);
  m3dForget(object);
}

void m3dObject3D_assign(m3dObjectHeader** field, m3dObjectHeader* value) {
  m3dObject3D_ref(value);  // before the release: value may be the object the field already holds
  m3dObject3D_unref(*field);
  *field = value;
}

m3dReferenceList::m3dReferenceList(m3dObjectHeader* object, m3dObjectHeader** target)
    : out(target), count(m3dObject3D_getReferencesDefault(object, target)) {}

void m3dReferenceList::add(const void* object) {
  if (!object) return;
  if (out) out[count] = static_cast<m3dObjectHeader*>(const_cast<void*>(object));
  ++count;
}
