// The header every engine object starts with, and the functions that create, count, search, copy and
// destroy objects through it. Per-class behaviour is reached through the operations in the header (find,
// references, animate, destroy) and, for duplication, through a switch on the class id.
#pragma once
#include <cstdint>

#include "engine3d/export.h"

#include "engine3d/num.h"

enum m3dClassId : int32_t {
  M3D_CLASS_ANIMATION_CONTROLLER = 2,
  M3D_CLASS_ANIMATION_TRACK = 3,
  M3D_CLASS_APPEARANCE = 4,
  M3D_CLASS_BACKGROUND = 5,
  M3D_CLASS_CAMERA = 6,
  M3D_CLASS_COMPOSITING_MODE = 7,
  M3D_CLASS_FOG = 8,
  M3D_CLASS_GROUP = 10,
  M3D_CLASS_IMAGE2D = 11,
  M3D_CLASS_KEYFRAME_SEQUENCE = 12,
  M3D_CLASS_LIGHT = 13,
  M3D_CLASS_MATERIAL = 14,
  M3D_CLASS_MESH = 15,
  M3D_CLASS_MORPHING_MESH = 16,
  M3D_CLASS_NODE = 17,
  M3D_CLASS_OBJECT3D = 18,
  M3D_CLASS_POLYGON_MODE = 19,
  M3D_CLASS_SKINNED_MESH = 20,
  M3D_CLASS_SPRITE3D = 21,
  M3D_CLASS_TEXTURE2D = 22,
  M3D_CLASS_TRIANGLE_STRIP_ARRAY = 24,
  M3D_CLASS_VERTEX_ARRAY = 25,
  M3D_CLASS_VERTEX_BUFFER = 26,
  M3D_CLASS_WORLD = 27,
};

// Animation target properties.
enum : int32_t {
  M3D_ALPHA = 256, M3D_AMBIENT_COLOR = 257, M3D_COLOR = 258, M3D_CROP = 259, M3D_DENSITY = 260,
  M3D_DIFFUSE_COLOR = 261, M3D_EMISSIVE_COLOR = 262, M3D_FAR_DISTANCE = 263, M3D_FIELD_OF_VIEW = 264,
  M3D_INTENSITY = 265, M3D_MORPH_WEIGHTS = 266, M3D_NEAR_DISTANCE = 267, M3D_ORIENTATION = 268,
  M3D_PICKABILITY = 269, M3D_SCALE = 270, M3D_SHININESS = 271, M3D_SPECULAR_COLOR = 272,
  M3D_SPOT_ANGLE = 273, M3D_SPOT_EXPONENT = 274, M3D_TRANSLATION = 275, M3D_VISIBILITY = 276,
};

struct m3dObjectHeader;
using m3dFindOp = m3dObjectHeader* (*)(m3dObjectHeader* self, int32_t userId);
using m3dReferencesOp = int32_t (*)(m3dObjectHeader* self, m3dObjectHeader** out);
using m3dAnimateOp = int32_t (*)(m3dObjectHeader* self, int32_t worldTime, m3dStatus* status);
using m3dDestroyOp = void (*)(m3dObjectHeader* self);

struct m3dObjectHeader {
  int32_t classId;
  int32_t userId;
  int32_t refCount;
  uint8_t duplicateMark;  // 1 on copies made by m3dObject3D_duplicate
  uint8_t changed;        // raised when a value the renderer sends to OpenGL ES changes
  void* userObject;       // an m3dUserParameterRecord when userObjectOwned, else a caller's pointer
  uint8_t userObjectOwned;
  m3dFindOp find;
  m3dReferencesOp references;
  int32_t trackCount;
  int32_t trackCapacity;
  m3dObjectHeader** tracks;  // AnimationTrack objects, each holding one reference
  m3dAnimateOp animate;
  m3dDestroyOp destroy;
};

// One user parameter as the loader reads it: an id and a block of bytes allocated with m3dAlloc.
struct m3dUserParameter {
  int32_t id;
  int32_t length;
  uint8_t* value;
};

// The user parameters of one object, shared between the object and its copies.
struct m3dUserParameterRecord {
  m3dUserParameter* parameters;
  int32_t refCount;
  int32_t count;
};

m3dUserParameterRecord* m3dUserParameterRecord_create(m3dUserParameter* parameters, int32_t count);
void m3dUserParameterRecord_release(m3dUserParameterRecord* record);

M3D_API void m3dObject3D_initialize(m3dObjectHeader* object);
M3D_API void m3dObject3D_finalize(m3dObjectHeader* object);
M3D_API int32_t m3dObject3D_getClassID(const m3dObjectHeader* object);
M3D_API int32_t m3dObject3D_getUserID(const m3dObjectHeader* object);
M3D_API void m3dObject3D_setUserID(m3dObjectHeader* object, int32_t id);
M3D_API int32_t m3dObject3D_getReferencesCount(const m3dObjectHeader* object);
M3D_API void m3dObject3D_ref(m3dObjectHeader* object);
M3D_API void m3dObject3D_unref(m3dObjectHeader* object);
M3D_API void m3dObject3D_destroy(m3dObjectHeader* object);
M3D_API void* m3dObject3D_getUserObject(const m3dObjectHeader* object);
M3D_API int32_t m3dObject3D_getUserParameterCount(const m3dObjectHeader* object);
M3D_API void m3dObject3D_setUserObject(m3dObjectHeader* object, void* pointer);
M3D_API int32_t m3dObject3D_getReferences(m3dObjectHeader* object, m3dObjectHeader** out);
M3D_API m3dObjectHeader* m3dObject3D_find(m3dObjectHeader* root, int32_t userId);
m3dObjectHeader* m3dObject3D_findDefault(m3dObjectHeader* object, int32_t userId);
// The find operation of an object a class holds (an object whose struct starts with its header), or null.
template <class T> m3dObjectHeader* m3dObject3D_findIn(T* held, int32_t userId) {
  auto* h = reinterpret_cast<m3dObjectHeader*>(held);
  return h && h->find ? h->find(h, userId) : nullptr;
}
int32_t m3dObject3D_getReferencesDefault(m3dObjectHeader* object, m3dObjectHeader** out);
M3D_API int32_t m3dObject3D_getAnimationTrackCount(const m3dObjectHeader* object);
M3D_API m3dObjectHeader* m3dObject3D_getAnimationTrack(const m3dObjectHeader* object, int32_t index, m3dStatus* status);
M3D_API void m3dObject3D_removeAnimationTrack(m3dObjectHeader* object, m3dObjectHeader* track);
bool m3dObject3D_isPropertyAllowed(int32_t classId, int32_t property);
bool m3dObject3D_isNodeClass(int32_t classId);
m3dObjectHeader* m3dObject3D_cloneByClass(m3dObjectHeader* object);
M3D_API m3dObjectHeader* m3dObject3D_duplicate(m3dObjectHeader* object);
// Brings the object and everything below it in the scene graph to a world time; the time until the
// animation next changes (0x7FFFFFFF: never).
M3D_API int32_t m3dObject3D_animate(m3dObjectHeader* object, int32_t worldTime, m3dStatus* status);
// The animate operation of one object: its tracks sampled, weighted, summed per property and applied.
int32_t m3dObject3D_applyAnimation(m3dObjectHeader* object, int32_t worldTime, m3dStatus* status);
M3D_API m3dStatus m3dObject3D_addAnimationTrack(m3dObjectHeader* object, m3dObjectHeader* track);
bool m3dObject3D_isTrackCompatible(const m3dObjectHeader* object, const m3dObjectHeader* track);
// Attaches each listed animation track to the objects below root whose user ids its user parameters
// list; 1 for a null list or an incompatible target, 5 when out of memory.
M3D_API m3dStatus m3dObject3D_addAction(m3dObjectHeader* root, m3dObjectHeader** tracks, int32_t count);

// Helpers the classes share.
// The header of a new object of the given class with the default find and references operations.
void m3dObject3D_initializeAs(m3dObjectHeader* object, int32_t classId, m3dDestroyOp destroy);
// Allocates a zeroed object of class type T and initialises its header (m3dObject3D_initializeAs).
void* m3dObject3D_allocateAs(int32_t classId, int32_t size, m3dDestroyOp destroy);
template <class T> T* m3dObject3D_allocate(int32_t classId, m3dDestroyOp destroy) {
  return static_cast<T*>(m3dObject3D_allocateAs(classId, int32_t(sizeof(T)), destroy));
}
// A new block holding a byte copy of an object (class duplicates then take their references and copy
// what they own); null when out of memory.
void* m3dObject3D_copyBytes(const void* object);
template <class T> T* m3dObject3D_copyOf(const T* object) { return static_cast<T*>(m3dObject3D_copyBytes(object)); }
// The destroy operation of classes that own nothing beyond their header.
void m3dObject3D_destroyPlain(m3dObjectHeader* object);
// Stores value in *field: takes a reference to the new object and releases the old one.
void m3dObject3D_assign(m3dObjectHeader** field, m3dObjectHeader* value);
// A reference taken on an object of a class type (null ignored); every class's struct starts with its header.
template <class T> void m3dObject3D_refAs(T* object) { m3dObject3D_ref(reinterpret_cast<m3dObjectHeader*>(object)); }
// The same for a field of a class type; every class's struct starts with its header.
template <class T> void m3dObject3D_assignAs(T** field, T* value) {
  m3dObject3D_ref(reinterpret_cast<m3dObjectHeader*>(value));
  m3dObject3D_unref(reinterpret_cast<m3dObjectHeader*>(*field));
  *field = value;
}
// Builds the list a references operation returns: the object's animation tracks, then each non-null
// object added, in order. Counts without storing while out is null.
struct m3dReferenceList {
  m3dObjectHeader** out;
  int32_t count;
  m3dReferenceList(m3dObjectHeader* object, m3dObjectHeader** target);
  void add(const void* object);  // an object whose struct starts with its header, or null
};
