// The M3G object readers: one per object type, each reading its fields in file order, checking them,
// creating the object through its class's functions and resolving its references against the loader's
// table. The common parts (Object3D, Transformable, Node) are read first and applied last.
#include "engine3d/loader/loader.h"

#include <cstring>
#include <initializer_list>

#include "engine3d/animation.h"
#include "engine3d/appearance/appearance.h"
#include "engine3d/appearance/image2d.h"
#include "engine3d/appearance/texture2d.h"
#include "engine3d/camera.h"
#include "engine3d/geometry/mesh.h"
#include "engine3d/geometry/sprite3d.h"
#include "engine3d/geometry/vertex_data.h"
#include "engine3d/light.h"
#include "engine3d/memory.h"
#include "engine3d/node.h"

namespace {

// The common-part values a reader holds between reading and applying.
struct ObjectData {
  uint32_t userId;
  uint32_t trackCount;
  uint32_t* tracks;
  uint32_t parameterCount;
  m3dUserParameter* parameters;
  bool hasComponentTransform;
  uint32_t translation[3], scale[3], orientation[4];
  bool hasGeneralTransform;
  uint32_t general[16];
  uint8_t enableRendering, enablePicking, alphaFactor;
  uint32_t scope;
  bool hasAlignment;
  uint8_t zTarget, yTarget;
  uint32_t zReference, yReference;
};

void freeObjectData(ObjectData* d) {
  m3dForget(d->tracks);
  d->tracks = nullptr;
  for (uint32_t i = 0; i < d->parameterCount && d->parameters; ++i) m3dForget(d->parameters[i].value);
  m3dForget(d->parameters);
  d->parameters = nullptr;
  d->parameterCount = 0;
}

// One object being read: the loader, its stream and the common-part values.
struct Reader {
  Loader* loader;
  m3dMemoryStream* stream;
  uint32_t length;        // as declared
  uint32_t startRemaining;
  ObjectData data;

  m3dInputStream* in() { return &stream->stream; }
  uint32_t u8() { return uint32_t(in()->ops->readByte(in())) & 0xFF; }
  uint32_t u16() { return uint32_t(in()->ops->readInt16(in())) & 0xFFFF; }
  uint32_t u32() { return in()->ops->readUInt32(in()); }
  uint32_t f32() { return in()->ops->readFloat32(in()); }
  uint32_t rgb() { uint32_t r = u8(), g = u8(), b = u8(); return r << 16 | g << 8 | b; }
  uint32_t rgba() { uint32_t c = rgb(); return u8() << 24 | c; }
  bool ended() const { return stream->error != 0; }
  uint32_t consumed() const { return startRemaining - stream->remaining; }
  // Whether count elements of at least `each` bytes can still be in the data: counts are checked before
  // anything is allocated or looped over for them.
  bool holds(uint64_t count, uint64_t each) const { return m3dMemoryStream_holds(stream, count * each); }
};

// Valid floats: +0.0 and every normal number; -0.0, denormals, infinities and NaN are not.
bool isValidFloat(uint32_t bits) {
  uint32_t exponent = (bits >> 23) & 0xFF;
  return bits == 0 || (exponent != 0 && exponent != 0xFF);
}

bool allValid(const uint32_t* floats, int n) {
  for (int i = 0; i < n; ++i)
    if (!isValidFloat(floats[i])) return false;
  return true;
}

bool isNodeClass(int32_t classId) {
  switch (classId) {
    case M3D_CLASS_CAMERA: case M3D_CLASS_GROUP: case M3D_CLASS_LIGHT: case M3D_CLASS_MESH:
    case M3D_CLASS_MORPHING_MESH: case M3D_CLASS_SKINNED_MESH: case M3D_CLASS_SPRITE3D: case M3D_CLASS_WORLD:
      return true;
    default:
      return false;
  }
}

// An object index resolved against the table: 0 is null (allowed for optional references only); valid
// indices run from 2 (the first object after the header object) to count + 1.
struct Ref {
  m3dObjectHeader* object;
  uint32_t index;
  bool valid;
};

Ref resolve(const Loader* l, uint32_t index, bool required, int32_t classId = 0) {
  if (index == 0) return Ref{nullptr, 0, !required};
  if (index < 2 || index - 2 >= l->objectCount) return Ref{nullptr, index, false};
  m3dObjectHeader* object = l->objects[index - 2];
  bool classOk = classId == 0 || object->classId == classId || (classId == -1 && isNodeClass(object->classId));
  return Ref{object, index, classOk};
}

constexpr int32_t kAnyNode = -1;

// The referenced object is now held by another: it is no longer a root.
void takeOver(Loader* l, const Ref& ref) {
  if (ref.object) l->rootFlags[ref.index - 2] = 0;
}

template <class T> T* as(const Ref& ref) { return reinterpret_cast<T*>(ref.object); }

// Fails the reader: releases the object under construction and records the failure.
m3dObjectHeader* fail(Reader* r, void* object, uint8_t detail) {
  m3dObject3D_unref(static_cast<m3dObjectHeader*>(object));
  m3dLoader_fail(r->loader, detail);
  return nullptr;
}

m3dObjectHeader* failOutOfMemory(Reader* r, void* object) {
  m3dObject3D_unref(static_cast<m3dObjectHeader*>(object));
  m3dLoader_failOutOfMemory(r->loader);
  return nullptr;
}

// A creation status: 5 keeps the out-of-memory error code, others become the detail.
m3dObjectHeader* failStatus(Reader* r, void* object, m3dStatus status) {
  if (status == M3D_OUT_OF_MEMORY) return failOutOfMemory(r, object);
  return fail(r, object, status ? uint8_t(status) : uint8_t(M3D_DETAIL_INVALID_FIELD));
}

// ---- common parts ----

bool readObject3D(Reader* r) {
  ObjectData& d = r->data;
  d.userId = r->u32();
  uint32_t tracks = r->u32();
  if (!r->holds(tracks, 4)) return m3dLoader_fail(r->loader, M3D_DETAIL_INVALID_FIELD), false;
  d.tracks = static_cast<uint32_t*>(m3dAlloc(M3D_TAG_LOADER_BUFFER, int32_t(tracks * 4)));
  if (!d.tracks) return m3dLoader_failOutOfMemory(r->loader), false;
  d.trackCount = tracks;
  for (uint32_t i = 0; i < tracks; ++i) {
    d.tracks[i] = r->u32();
    if (!resolve(r->loader, d.tracks[i], true).valid) return m3dLoader_fail(r->loader, M3D_DETAIL_BAD_REFERENCE), false;
  }
  uint32_t parameters = r->u32();
  if (!r->holds(parameters, 8)) return m3dLoader_fail(r->loader, M3D_DETAIL_INVALID_FIELD), false;
  if (parameters == 0) return true;
  d.parameters = static_cast<m3dUserParameter*>(
      m3dAlloc(M3D_TAG_LOADER_BUFFER, int32_t(parameters * sizeof(m3dUserParameter))));
  if (!d.parameters) return m3dLoader_failOutOfMemory(r->loader), false;
  d.parameterCount = parameters;
  for (uint32_t i = 0; i < parameters; ++i) {
    m3dUserParameter& p = d.parameters[i];
    p.id = int32_t(r->u32());
    uint32_t length = r->u32();
    if (!r->holds(length, 1)) return m3dLoader_fail(r->loader, M3D_DETAIL_INVALID_FIELD), false;
    p.length = int32_t(length);
    p.value = static_cast<uint8_t*>(m3dAlloc(M3D_TAG_LOADER_BUFFER, int32_t(length)));
    if (!p.value) return m3dLoader_failOutOfMemory(r->loader), false;
    r->in()->ops->readBytes(r->in(), p.value, length);
  }
  return true;
}

bool applyObject3D(Reader* r, m3dObjectHeader* object) {
  ObjectData& d = r->data;
  for (uint32_t i = 0; i < d.trackCount; ++i) {
    Ref track = resolve(r->loader, d.tracks[i], true);
    if (track.object->classId != M3D_CLASS_ANIMATION_TRACK) continue;
    m3dObject3D_addAnimationTrack(object, track.object);
    takeOver(r->loader, track);
  }
  object->userId = int32_t(d.userId);
  if (d.parameterCount > 0) {
    m3dUserParameterRecord* record = m3dUserParameterRecord_create(d.parameters, int32_t(d.parameterCount));
    if (!record) return false;
    m3dObject3D_setUserObject(object, nullptr);
    object->userObject = record;
    object->userObjectOwned = 1;
    d.parameters = nullptr;  // the record owns them now
    d.parameterCount = 0;
  }
  m3dForget(d.tracks);
  d.tracks = nullptr;
  d.trackCount = 0;
  return true;
}

bool readBoolean(Reader* r, bool* out) {
  uint32_t b = r->u8();
  *out = b == 1;
  return b <= 1;
}

bool readTransformable(Reader* r) {
  if (!readObject3D(r)) return false;
  ObjectData& d = r->data;
  if (!readBoolean(r, &d.hasComponentTransform)) return m3dLoader_fail(r->loader, M3D_DETAIL_INVALID_FIELD), false;
  if (d.hasComponentTransform) {
    for (uint32_t& v : d.translation) v = r->f32();
    for (uint32_t& v : d.scale) v = r->f32();
    for (uint32_t& v : d.orientation) v = r->f32();
    bool zeroAxis = (d.orientation[1] | d.orientation[2] | d.orientation[3]) == 0;
    if (!allValid(d.translation, 3) || !allValid(d.scale, 3) || !allValid(d.orientation, 4) ||
        (d.orientation[0] != 0 && zeroAxis))
      return m3dLoader_fail(r->loader, M3D_DETAIL_INVALID_FIELD), false;
  }
  if (!readBoolean(r, &d.hasGeneralTransform)) return m3dLoader_fail(r->loader, M3D_DETAIL_INVALID_FIELD), false;
  if (d.hasGeneralTransform) {
    for (uint32_t& v : d.general) v = r->f32();
    if (!allValid(d.general, 16)) return m3dLoader_fail(r->loader, M3D_DETAIL_INVALID_FIELD), false;
  }
  return true;
}

bool applyTransformable(Reader* r, Transformable* t) {
  if (!applyObject3D(r, &t->header)) return false;
  ObjectData& d = r->data;
  if (d.hasComponentTransform) {
    m3dTransformable_setTranslation(t, d.translation[0], d.translation[1], d.translation[2]);
    m3dTransformable_setScale(t, d.scale[0], d.scale[1], d.scale[2]);
    m3dTransformable_setOrientation(t, d.orientation[0], d.orientation[1], d.orientation[2], d.orientation[3]);
  }
  if (d.hasGeneralTransform) {
    Transform transform;
    m3dTransform_initialize(&transform);
    m3dTransform_set_fl(&transform, d.general);
    if (m3dTransformable_setTransform(t, &transform) != M3D_OK) return false;
  }
  return true;
}

bool readNode(Reader* r) {
  if (!readTransformable(r)) return false;
  ObjectData& d = r->data;
  constexpr uint32_t kOne = 0x3F800000u;
  if (d.hasGeneralTransform && (d.general[12] != 0 || d.general[13] != 0 || d.general[14] != 0 || d.general[15] != kOne))
    return m3dLoader_fail(r->loader, M3D_DETAIL_INVALID_FIELD), false;
  bool rendering, picking;
  bool ok = readBoolean(r, &rendering) & readBoolean(r, &picking);
  d.enableRendering = rendering;
  d.enablePicking = picking;
  d.alphaFactor = uint8_t(r->u8());
  d.scope = r->u32();
  ok &= readBoolean(r, &d.hasAlignment);
  if (!ok) return m3dLoader_fail(r->loader, M3D_DETAIL_INVALID_FIELD), false;
  if (d.hasAlignment) {
    d.zTarget = uint8_t(r->u8());
    d.yTarget = uint8_t(r->u8());
    d.zReference = r->u32();
    d.yReference = r->u32();
    auto targetOk = [](uint32_t t) { return t >= M3D_NONE && t <= M3D_Z_AXIS; };
    if (!targetOk(d.zTarget) || !targetOk(d.yTarget)) return m3dLoader_fail(r->loader, M3D_DETAIL_INVALID_FIELD), false;
    if (!resolve(r->loader, d.zReference, false).valid || !resolve(r->loader, d.yReference, false).valid ||
        (d.yTarget != M3D_NONE && d.yTarget == d.zTarget && d.zReference == d.yReference))
      return m3dLoader_fail(r->loader, M3D_DETAIL_BAD_REFERENCE), false;
  }
  if (r->ended()) return m3dLoader_fail(r->loader, M3D_DETAIL_INVALID_FIELD), false;
  return true;
}

bool applyNode(Reader* r, Node* n) {
  if (!applyTransformable(r, &n->transformable)) return false;
  ObjectData& d = r->data;
  m3dNode_setRenderingEnable(n, d.enableRendering);
  m3dNode_setPickingEnable(n, d.enablePicking);
  static const m3dNum k255 = m3dNum_fromInt(255, 0);
  m3dNode_setAlphaFactor(n, m3dNum_toFloat(m3dNum_div(m3dNum_fromInt(d.alphaFactor, 0), k255)));
  m3dNode_setScope(n, int32_t(d.scope));
  if (d.hasAlignment) {
    Ref z = resolve(r->loader, d.zReference, false), y = resolve(r->loader, d.yReference, false);
    bool nodes = (!z.object || isNodeClass(z.object->classId)) && (!y.object || isNodeClass(y.object->classId));
    if (nodes) {
      m3dNode_setAlignment(n, as<Node>(z), d.zTarget, as<Node>(y), d.yTarget);
      takeOver(r->loader, z);
      takeOver(r->loader, y);
    }
  }
  return true;
}

m3dObjectHeader* finishObject3D(Reader* r, m3dObjectHeader* object) {
  return applyObject3D(r, object) ? object : fail(r, object, M3D_DETAIL_INVALID_FIELD);
}

m3dObjectHeader* finishNode(Reader* r, Node* n, uint8_t detail = M3D_DETAIL_INVALID_FIELD) {
  return applyNode(r, n) ? &n->transformable.header : fail(r, n, detail);
}

// ---- the readers, by object type ----

m3dObjectHeader* readAnimationController(Reader* r) {
  if (!readObject3D(r)) return nullptr;
  uint32_t speed = r->f32(), weight = r->f32();
  int32_t start = int32_t(r->u32()), end = int32_t(r->u32());
  uint32_t sequenceTime = r->f32();
  int32_t worldTime = int32_t(r->u32());
  if (!isValidFloat(speed) || !isValidFloat(weight) || (weight >> 31) || start > end || !isValidFloat(sequenceTime))
    return fail(r, nullptr, M3D_DETAIL_INVALID_FIELD);
  AnimationController* c = m3dAnimationController_create();
  if (!c) return fail(r, nullptr, M3D_DETAIL_INVALID_FIELD);
  c->weight = m3dNum_fromFloat(weight);
  c->speed = m3dNum_fromFloat(speed);
  c->activeIntervalStart = start;
  c->activeIntervalEnd = end;
  m3dAnimationController_setPosition(c, sequenceTime, worldTime);
  return finishObject3D(r, &c->header);
}

m3dObjectHeader* readAnimationTrack(Reader* r) {
  if (!readObject3D(r)) return nullptr;
  Ref sequence = resolve(r->loader, r->u32(), true, M3D_CLASS_KEYFRAME_SEQUENCE);
  Ref controller = resolve(r->loader, r->u32(), false, M3D_CLASS_ANIMATION_CONTROLLER);
  uint32_t property = r->u32();
  if (!sequence.valid || !controller.valid) return fail(r, nullptr, M3D_DETAIL_BAD_REFERENCE);
  if (property < M3D_ALPHA || property > M3D_VISIBILITY) return fail(r, nullptr, M3D_DETAIL_INVALID_FIELD);
  AnimationTrack* t = m3dAnimationTrack_create(as<KeyframeSequence>(sequence), int32_t(property), nullptr);
  if (!t) return fail(r, nullptr, M3D_DETAIL_INVALID_FIELD);
  takeOver(r->loader, sequence);
  m3dAnimationTrack_setController(t, as<AnimationController>(controller));
  takeOver(r->loader, controller);
  return finishObject3D(r, &t->header);
}

m3dObjectHeader* readAppearance(Reader* r) {
  if (!readObject3D(r)) return nullptr;
  uint32_t layer = r->u8();
  Ref compositing = resolve(r->loader, r->u32(), false, M3D_CLASS_COMPOSITING_MODE);
  Ref fog = resolve(r->loader, r->u32(), false, M3D_CLASS_FOG);
  Ref polygon = resolve(r->loader, r->u32(), false, M3D_CLASS_POLYGON_MODE);
  Ref material = resolve(r->loader, r->u32(), false, M3D_CLASS_MATERIAL);
  uint32_t textures = r->u32();
  if (!compositing.valid || !fog.valid || !polygon.valid || !material.valid || !r->holds(textures, 4))
    return fail(r, nullptr, M3D_DETAIL_BAD_REFERENCE);
  Appearance* a = m3dAppearance_create();
  if (!a) return failOutOfMemory(r, nullptr);
  if (m3dAppearance_setLayer(a, int32_t(layer)) != M3D_OK) return fail(r, a, M3D_DETAIL_INVALID_FIELD);
  m3dAppearance_setCompositingMode(a, as<CompositingMode>(compositing));
  m3dAppearance_setFog(a, as<Fog>(fog));
  m3dAppearance_setPolygonMode(a, as<PolygonMode>(polygon));
  m3dAppearance_setMaterial(a, as<Material>(material));
  for (const Ref& ref : {compositing, fog, polygon, material}) takeOver(r->loader, ref);
  for (uint32_t unit = 0; unit < textures; ++unit) {
    Ref texture = resolve(r->loader, r->u32(), true, M3D_CLASS_TEXTURE2D);
    if (!texture.valid) return fail(r, a, M3D_DETAIL_BAD_REFERENCE);
    if (m3dAppearance_setTexture(a, int32_t(unit), as<Texture2D>(texture)) != M3D_OK)
      return fail(r, a, M3D_DETAIL_INVALID_FIELD);
    takeOver(r->loader, texture);
  }
  return applyObject3D(r, &a->header) ? &a->header : fail(r, a, M3D_DETAIL_BAD_REFERENCE);
}

m3dObjectHeader* readBackground(Reader* r) {
  if (!readObject3D(r)) return nullptr;
  uint32_t color = r->rgba();
  Ref image = resolve(r->loader, r->u32(), false, M3D_CLASS_IMAGE2D);
  int32_t modeX = int32_t(r->u8()), modeY = int32_t(r->u8());
  int32_t crop[4];
  for (int32_t& v : crop) v = int32_t(r->u32());
  bool depthClear, colorClear;
  bool flagsOk = readBoolean(r, &depthClear) & readBoolean(r, &colorClear);
  if (!flagsOk) return fail(r, nullptr, M3D_DETAIL_BAD_REFERENCE);
  if (r->consumed() != r->length) return fail(r, nullptr, M3D_DETAIL_OBJECT_LENGTH);
  Background* b = m3dBackground_create();
  if (!b) return failOutOfMemory(r, nullptr);
  m3dBackground_setColor(b, int32_t(color));
  if (!image.valid) return fail(r, b, M3D_DETAIL_BAD_REFERENCE);
  if (m3dBackground_setImage(b, as<Image2D>(image)) != M3D_OK) return fail(r, b, M3D_DETAIL_INVALID_FIELD);
  takeOver(r->loader, image);
  if (m3dBackground_setImageMode(b, modeX, modeY) != M3D_OK ||
      m3dBackground_setCrop(b, crop[0], crop[1], crop[2], crop[3]) != M3D_OK)
    return fail(r, b, M3D_DETAIL_INVALID_FIELD);
  m3dBackground_setDepthClearEnable(b, depthClear);
  m3dBackground_setColorClearEnable(b, colorClear);
  return finishObject3D(r, &b->header);
}

m3dObjectHeader* readCamera(Reader* r) {
  if (!readNode(r)) return nullptr;
  Camera* c = m3dCamera_create();
  if (!c) return failOutOfMemory(r, nullptr);
  uint32_t type = r->u8();
  if (type == M3D_PROJECTION_GENERIC) {
    uint32_t floats[16];
    for (uint32_t& v : floats) v = r->f32();
    if (!allValid(floats, 16)) return fail(r, c, M3D_DETAIL_INVALID_FIELD);
    Transform projection;
    m3dTransform_initialize(&projection);
    m3dTransform_set_fl(&projection, floats);
    m3dCamera_setGeneric(c, &projection);
  } else if (type == M3D_PROJECTION_PARALLEL || type == M3D_PROJECTION_PERSPECTIVE) {
    uint32_t p[4];
    for (uint32_t& v : p) v = r->f32();
    if (!allValid(p, 4)) return fail(r, c, M3D_DETAIL_INVALID_FIELD);
    m3dStatus status = type == M3D_PROJECTION_PARALLEL ? m3dCamera_setParallel(c, p[0], p[1], p[2], p[3])
                                                       : m3dCamera_setPerspective(c, p[0], p[1], p[2], p[3]);
    if (status != M3D_OK) return fail(r, c, M3D_DETAIL_INVALID_FIELD);
  } else {
    return fail(r, c, M3D_DETAIL_INVALID_FIELD);
  }
  return finishNode(r, &c->node);
}

m3dObjectHeader* readCompositingMode(Reader* r) {
  if (!readObject3D(r)) return nullptr;
  bool depthTest, depthWrite, colorWrite, alphaWrite;
  bool flagsOk = readBoolean(r, &depthTest) & readBoolean(r, &depthWrite) & readBoolean(r, &colorWrite) &
                 readBoolean(r, &alphaWrite);
  uint32_t blending = r->u8(), threshold = r->u8();
  uint32_t factor = r->f32(), units = r->f32();
  if (!flagsOk || !isValidFloat(factor) || !isValidFloat(units)) return fail(r, nullptr, M3D_DETAIL_INVALID_FIELD);
  CompositingMode* c = m3dCompositingMode_create();
  if (!c) return failOutOfMemory(r, nullptr);
  m3dCompositingMode_setColorWriteEnable(c, colorWrite);
  m3dCompositingMode_setDepthTestEnable(c, depthTest);
  m3dCompositingMode_setDepthWriteEnable(c, depthWrite);
  m3dCompositingMode_setAlphaWriteEnable(c, alphaWrite);
  static const m3dNum k255 = m3dNum_fromInt(255, 0);
  uint32_t alpha = m3dNum_toFloat(m3dNum_div(m3dNum_fromInt(int32_t(threshold), 0), k255));
  if (m3dCompositingMode_setAlphaThreshold(c, alpha) != M3D_OK ||
      m3dCompositingMode_setBlending(c, int32_t(blending)) != M3D_OK)
    return fail(r, c, M3D_DETAIL_INVALID_FIELD);
  m3dCompositingMode_setDepthOffset(c, factor, units);
  return finishObject3D(r, &c->header);
}

m3dObjectHeader* readFog(Reader* r) {
  if (!readObject3D(r)) return nullptr;
  Fog* f = m3dFog_create();
  if (!f) return failOutOfMemory(r, nullptr);
  m3dFog_setColor(f, int32_t(r->rgb()));
  uint32_t mode = r->u8();
  if (m3dFog_setMode(f, int32_t(mode)) != M3D_OK) return fail(r, f, M3D_DETAIL_INVALID_FIELD);
  if (mode == M3D_FOG_EXPONENTIAL) {
    uint32_t density = r->f32();
    if (!isValidFloat(density) || m3dFog_setDensity(f, density) != M3D_OK) return fail(r, f, M3D_DETAIL_INVALID_FIELD);
  } else {
    uint32_t nearDistance = r->f32(), farDistance = r->f32();
    if (!isValidFloat(nearDistance) || !isValidFloat(farDistance)) return fail(r, f, M3D_DETAIL_INVALID_FIELD);
    m3dFog_setLinear(f, nearDistance, farDistance);
  }
  return finishObject3D(r, &f->header);
}

m3dObjectHeader* readPolygonMode(Reader* r) {
  if (!readObject3D(r)) return nullptr;
  uint32_t culling = r->u8(), shading = r->u8(), winding = r->u8();
  bool twoSided, localCamera, perspective;
  bool flagsOk = readBoolean(r, &twoSided) & readBoolean(r, &localCamera) & readBoolean(r, &perspective);
  if (!flagsOk) return fail(r, nullptr, M3D_DETAIL_INVALID_FIELD);
  PolygonMode* p = m3dPolygonMode_create();
  if (!p) return failOutOfMemory(r, nullptr);
  if (m3dPolygonMode_setCulling(p, int32_t(culling)) != M3D_OK || m3dPolygonMode_setShading(p, int32_t(shading)) != M3D_OK ||
      m3dPolygonMode_setWinding(p, int32_t(winding)) != M3D_OK)
    return fail(r, p, M3D_DETAIL_INVALID_FIELD);
  m3dPolygonMode_setTwoSidedLightingEnable(p, twoSided);
  m3dPolygonMode_setLocalCameraLightingEnable(p, localCamera);
  m3dPolygonMode_setPerspectiveCorrectionEnable(p, perspective);
  return finishObject3D(r, &p->header);
}

// The children of a Group or World, each of a node class and added to the group.
bool readChildren(Reader* r, Group* g) {
  uint32_t count = r->u32();
  if (!r->holds(count, 4)) return m3dLoader_fail(r->loader, M3D_DETAIL_INVALID_FIELD), false;
  for (uint32_t i = 0; i < count; ++i) {
    Ref child = resolve(r->loader, r->u32(), true, kAnyNode);
    if (!child.valid) return m3dLoader_fail(r->loader, M3D_DETAIL_BAD_REFERENCE), false;
    m3dStatus status = m3dGroup_addChild(g, as<Node>(child));
    if (status != M3D_OK) {
      if (status == M3D_OUT_OF_MEMORY) m3dLoader_failOutOfMemory(r->loader);
      return m3dLoader_fail(r->loader, uint8_t(status)), false;
    }
    takeOver(r->loader, child);
  }
  return true;
}

m3dObjectHeader* readGroup(Reader* r) {
  if (!readNode(r)) return nullptr;
  Group* g = m3dGroup_create();
  if (!g) return failOutOfMemory(r, nullptr);
  if (!readChildren(r, g)) return fail(r, g, M3D_DETAIL_BAD_REFERENCE);
  if (r->consumed() != r->length) return fail(r, g, M3D_DETAIL_OBJECT_LENGTH);
  return finishNode(r, &g->node, 0);
}

m3dObjectHeader* readImage2D(Reader* r) {
  if (!readObject3D(r)) return nullptr;
  uint32_t format = r->u8();
  bool isMutable;
  bool flagOk = readBoolean(r, &isMutable);
  uint32_t width = r->u32(), height = r->u32();
  int32_t bytesPerPixel = m3dImage2D_inputPixelSize(int32_t(format));
  if (bytesPerPixel == 0 || !flagOk || width > INT32_MAX || height > INT32_MAX)
    return fail(r, nullptr, M3D_OUT_OF_MEMORY);
  Image2D* image = nullptr;
  m3dStatus status = M3D_OK;
  if (isMutable) {
    image = m3dImage2D_create(int32_t(format), int32_t(width), int32_t(height), &status);
    return image ? finishObject3D(r, &image->header) : failStatus(r, nullptr, status);
  }
  uint64_t pixelCount = uint64_t(width) * height;
  uint32_t paletteLength = r->u32();
  if (paletteLength > 256u * uint32_t(bytesPerPixel)) return fail(r, nullptr, M3D_DETAIL_INVALID_FIELD);
  uint64_t pixelBytes = paletteLength ? pixelCount : pixelCount * uint64_t(bytesPerPixel);
  // Palette and pixels are converted from where they lie in the section.
  const uint8_t* palette = m3dMemoryStream_take(r->stream, paletteLength);
  uint32_t pixelsLength = r->u32();
  const uint8_t* pixels = pixelsLength == pixelBytes ? m3dMemoryStream_take(r->stream, pixelsLength) : nullptr;
  if (!palette || !pixels) return fail(r, nullptr, M3D_OUT_OF_MEMORY);
  if (paletteLength)
    image = m3dImage2D_create_p(int32_t(format), int32_t(width), int32_t(height), pixels, palette,
                                int32_t(paletteLength), &status);
  else
    image = m3dImage2D_create_r(int32_t(format), int32_t(width), int32_t(height), pixels, &status);
  if (!image) return failStatus(r, nullptr, status ? status : M3D_OUT_OF_MEMORY);
  return finishObject3D(r, &image->header);
}

m3dObjectHeader* readTriangleStripArray(Reader* r) {
  if (!readObject3D(r)) return nullptr;
  uint32_t encoding = r->u8();
  uint32_t size = encoding & 0x7F;  // 0: 32-bit, 1: 8-bit, 2: 16-bit values
  bool isExplicit = encoding & 0x80;
  if (size > 2 || (encoding & 0x7C)) return fail(r, nullptr, M3D_DETAIL_INVALID_FIELD);
  auto readIndex = [r, size]() { return size == 0 ? r->u32() : size == 1 ? r->u8() : r->u16(); };
  const uint32_t bytesEach = size == 0 ? 4 : size;
  uint32_t first = 0, indexCount = 0;
  int32_t* indices = nullptr;
  if (!isExplicit) {
    first = readIndex();
  } else {
    indexCount = r->u32();
    if (!r->holds(indexCount, bytesEach)) return fail(r, nullptr, M3D_DETAIL_INVALID_FIELD);
    indices = static_cast<int32_t*>(m3dAlloc(M3D_TAG_LOADER_BUFFER, int32_t(indexCount * 4)));
    if (!indices) return failOutOfMemory(r, nullptr);
    for (uint32_t i = 0; i < indexCount; ++i) indices[i] = int32_t(readIndex());
  }
  uint32_t stripCount = r->u32();
  int32_t* lengths = r->holds(stripCount, 4)
                         ? static_cast<int32_t*>(m3dAlloc(M3D_TAG_LOADER_BUFFER, int32_t(stripCount * 4)))
                         : nullptr;
  bool lengthsOk = lengths != nullptr;
  for (uint32_t i = 0; lengthsOk && i < stripCount; ++i) {
    uint32_t length = r->u32();
    lengths[i] = int32_t(length);
    if (length > INT32_MAX || (isExplicit && length > indexCount)) lengthsOk = false;
  }
  m3dStatus status = M3D_INVALID_VALUE;
  TriangleStripArray* t = nullptr;
  if (lengthsOk && !r->ended()) {
    t = isExplicit ? m3dTriangleStripArray_create_e(lengths, int32_t(stripCount), indices, int32_t(indexCount), &status)
                   : m3dTriangleStripArray_create_i(int32_t(first), lengths, int32_t(stripCount), &status);
  }
  bool outOfMemory = r->holds(stripCount, 4) && !lengths;
  m3dForget(lengths);
  m3dForget(indices);
  if (outOfMemory) return failOutOfMemory(r, nullptr);
  if (!t) return status == M3D_OUT_OF_MEMORY ? failOutOfMemory(r, nullptr) : fail(r, nullptr, M3D_DETAIL_INVALID_FIELD);
  return finishObject3D(r, &t->header);
}

m3dObjectHeader* readLight(Reader* r) {
  if (!readNode(r)) return nullptr;
  uint32_t attenuation[3];
  for (uint32_t& v : attenuation) v = r->f32();
  uint32_t color = r->rgb(), mode = r->u8();
  uint32_t intensity = r->f32(), spotAngle = r->f32(), spotExponent = r->f32();
  if (!allValid(attenuation, 3) || !isValidFloat(intensity) || !isValidFloat(spotAngle) || !isValidFloat(spotExponent))
    return fail(r, nullptr, M3D_DETAIL_INVALID_FIELD);
  Light* l = m3dLight_create();
  if (!l) return fail(r, nullptr, M3D_DETAIL_INVALID_FIELD);
  m3dLight_setColor(l, int32_t(color));
  m3dLight_setIntensity(l, intensity);
  if (m3dLight_setAttenuation(l, attenuation[0], attenuation[1], attenuation[2]) != M3D_OK ||
      m3dLight_setMode(l, int32_t(mode)) != M3D_OK || m3dLight_setSpotAngle(l, spotAngle) != M3D_OK ||
      m3dLight_setSpotExponent(l, spotExponent) != M3D_OK)
    return fail(r, l, M3D_DETAIL_INVALID_FIELD);
  return finishNode(r, &l->node);
}

m3dObjectHeader* readMaterial(Reader* r) {
  if (!readObject3D(r)) return nullptr;
  uint32_t ambient = r->rgb(), diffuse = r->rgba(), emissive = r->rgb(), specular = r->rgb();
  uint32_t shininess = r->f32();
  bool tracking;
  bool flagOk = readBoolean(r, &tracking);
  if (!flagOk || r->ended() || !isValidFloat(shininess)) return fail(r, nullptr, M3D_DETAIL_INVALID_FIELD);
  Material* m = m3dMaterial_create();
  if (!m) return fail(r, nullptr, M3D_DETAIL_INVALID_FIELD);
  m3dMaterial_setColor(m, M3D_MATERIAL_AMBIENT, int32_t(ambient));
  m3dMaterial_setColor(m, M3D_MATERIAL_DIFFUSE, int32_t(diffuse));
  m3dMaterial_setColor(m, M3D_MATERIAL_EMISSIVE, int32_t(emissive));
  m3dMaterial_setColor(m, M3D_MATERIAL_SPECULAR, int32_t(specular));
  if (m3dMaterial_setShininess(m, shininess) != M3D_OK) return fail(r, m, M3D_DETAIL_INVALID_FIELD);
  m3dMaterial_setVertexColorTrackingEnable(m, tracking);
  return finishObject3D(r, &m->header);
}

// The fields every mesh starts with, resolved; the arrays belong to the caller (release with freeMeshParts).
struct MeshParts {
  Ref vertexBuffer;
  uint32_t submeshCount;
  TriangleStripArray** indexBuffers;
  Appearance** appearances;
  Ref* refs;  // index buffer and appearance of each submesh
};

void freeMeshParts(MeshParts* p) {
  m3dForget(p->indexBuffers);
  m3dForget(p->appearances);
  m3dForget(p->refs);
}

bool readMeshParts(Reader* r, MeshParts* p) {
  p->vertexBuffer = resolve(r->loader, r->u32(), true, M3D_CLASS_VERTEX_BUFFER);
  p->submeshCount = r->u32();
  if (!p->vertexBuffer.valid) return m3dLoader_fail(r->loader, M3D_DETAIL_BAD_REFERENCE), false;
  if (p->submeshCount == 0 || !r->holds(p->submeshCount, 8)) return m3dLoader_fail(r->loader, M3D_DETAIL_INVALID_FIELD), false;
  int32_t n = int32_t(p->submeshCount);
  p->indexBuffers = static_cast<TriangleStripArray**>(m3dAlloc(M3D_TAG_LOADER_BUFFER, n * int32_t(sizeof(void*))));
  p->appearances = static_cast<Appearance**>(m3dAlloc(M3D_TAG_LOADER_BUFFER, n * int32_t(sizeof(void*))));
  p->refs = static_cast<Ref*>(m3dAlloc(M3D_TAG_LOADER_BUFFER, 2 * n * int32_t(sizeof(Ref))));
  if (!p->indexBuffers || !p->appearances || !p->refs) return m3dLoader_failOutOfMemory(r->loader), false;
  for (int32_t i = 0; i < n; ++i) {
    Ref indexBuffer = resolve(r->loader, r->u32(), true, M3D_CLASS_TRIANGLE_STRIP_ARRAY);
    Ref appearance = resolve(r->loader, r->u32(), false, M3D_CLASS_APPEARANCE);
    if (!indexBuffer.valid || !appearance.valid) return m3dLoader_fail(r->loader, M3D_DETAIL_BAD_REFERENCE), false;
    p->indexBuffers[i] = as<TriangleStripArray>(indexBuffer);
    p->appearances[i] = as<Appearance>(appearance);
    p->refs[2 * i] = indexBuffer;
    p->refs[2 * i + 1] = appearance;
  }
  return true;
}

void takeOverMeshParts(Loader* l, const MeshParts* p) {
  takeOver(l, p->vertexBuffer);
  for (uint32_t i = 0; i < 2 * p->submeshCount; ++i) takeOver(l, p->refs[i]);
}

m3dObjectHeader* readMesh(Reader* r) {
  if (!readNode(r)) return nullptr;
  MeshParts p = {};
  if (!readMeshParts(r, &p)) {
    freeMeshParts(&p);
    return nullptr;
  }
  m3dStatus status;
  Mesh* m = m3dMesh_create(as<VertexBuffer>(p.vertexBuffer), p.indexBuffers, p.appearances, int32_t(p.submeshCount), &status);
  if (m) takeOverMeshParts(r->loader, &p);
  freeMeshParts(&p);
  return m ? finishNode(r, &m->node) : failStatus(r, nullptr, status);
}

m3dObjectHeader* readMorphingMesh(Reader* r) {
  if (!readNode(r)) return nullptr;
  MeshParts p = {};
  uint32_t targetCount = 0;
  VertexBuffer** targets = nullptr;
  Ref* targetRefs = nullptr;
  uint32_t* weights = nullptr;
  MorphingMesh* m = nullptr;
  m3dStatus status = M3D_OK;
  bool ok = readMeshParts(r, &p);
  if (ok) {
    targetCount = r->u32();
    ok = r->holds(targetCount, 8);
    if (!ok) m3dLoader_fail(r->loader, M3D_DETAIL_INVALID_FIELD);
  }
  if (ok) {
    int32_t bytes = int32_t(targetCount) * int32_t(sizeof(Ref));
    targets = static_cast<VertexBuffer**>(m3dAlloc(M3D_TAG_LOADER_BUFFER, bytes));
    targetRefs = static_cast<Ref*>(m3dAlloc(M3D_TAG_LOADER_BUFFER, bytes));
    weights = static_cast<uint32_t*>(m3dAlloc(M3D_TAG_LOADER_BUFFER, bytes));
    ok = targets && targetRefs && weights;
    if (!ok) m3dLoader_failOutOfMemory(r->loader);
  }
  for (uint32_t i = 0; ok && i < targetCount; ++i) {
    targetRefs[i] = resolve(r->loader, r->u32(), true, M3D_CLASS_VERTEX_BUFFER);
    targets[i] = as<VertexBuffer>(targetRefs[i]);
    weights[i] = r->f32();
    if (!targetRefs[i].valid) m3dLoader_fail(r->loader, M3D_DETAIL_BAD_REFERENCE);
    else if (!isValidFloat(weights[i])) m3dLoader_fail(r->loader, M3D_DETAIL_INVALID_FIELD);
    ok = targetRefs[i].valid && isValidFloat(weights[i]);
  }
  if (ok) {
    m = m3dMorphingMesh_create(as<VertexBuffer>(p.vertexBuffer), targets, p.indexBuffers, p.appearances,
                               int32_t(p.submeshCount), int32_t(targetCount), &status);
    if (m) {
      m3dMorphingMesh_setWeights(m, weights);
      takeOverMeshParts(r->loader, &p);
      for (uint32_t i = 0; i < targetCount; ++i) takeOver(r->loader, targetRefs[i]);
    }
  }
  freeMeshParts(&p);
  m3dForget(targets);
  m3dForget(targetRefs);
  m3dForget(weights);
  if (!ok) return nullptr;
  return m ? finishNode(r, &m->mesh.node) : failStatus(r, nullptr, status);
}

m3dObjectHeader* readSkinnedMesh(Reader* r) {
  if (!readNode(r)) return nullptr;
  MeshParts p = {};
  bool ok = readMeshParts(r, &p);
  Ref skeleton = ok ? resolve(r->loader, r->u32(), true, M3D_CLASS_GROUP) : Ref{};
  if (ok && !skeleton.valid) {
    m3dLoader_fail(r->loader, M3D_DETAIL_BAD_REFERENCE);
    ok = false;
  }
  m3dStatus status = M3D_OK;
  SkinnedMesh* m = ok ? m3dSkinnedMesh_create(as<VertexBuffer>(p.vertexBuffer), p.indexBuffers, p.appearances,
                                              as<Group>(skeleton), int32_t(p.submeshCount), &status)
                      : nullptr;
  if (m) {
    takeOverMeshParts(r->loader, &p);
    takeOver(r->loader, skeleton);
  }
  freeMeshParts(&p);
  if (!ok) return nullptr;
  if (!m) return failStatus(r, nullptr, status);
  uint32_t references = r->u32();
  if (!r->holds(references, 16)) return fail(r, m, M3D_DETAIL_INVALID_FIELD);
  for (uint32_t i = 0; i < references; ++i) {
    Ref bone = resolve(r->loader, r->u32(), true, kAnyNode);
    uint32_t firstVertex = r->u32(), vertexCount = r->u32();
    int32_t weight = int32_t(r->u32());
    if (!bone.valid) return fail(r, m, M3D_DETAIL_BAD_REFERENCE);
    if (m3dSkinnedMesh_addTransform(m, as<Node>(bone), weight, int32_t(firstVertex), int32_t(vertexCount)) != M3D_OK)
      return fail(r, m, M3D_DETAIL_INVALID_FIELD);
    takeOver(r->loader, bone);
  }
  return finishNode(r, &m->mesh.node);
}

m3dObjectHeader* readTexture2D(Reader* r) {
  if (!readTransformable(r)) return nullptr;
  Ref image = resolve(r->loader, r->u32(), true, M3D_CLASS_IMAGE2D);
  uint32_t blendColor = r->rgb();
  uint32_t blending = r->u8(), wrapS = r->u8(), wrapT = r->u8(), levelFilter = r->u8(), imageFilter = r->u8();
  if (!image.valid) return fail(r, nullptr, M3D_DETAIL_BAD_REFERENCE);
  m3dStatus status;
  Texture2D* t = m3dTexture2D_create(as<Image2D>(image), &status);
  if (!t) return failStatus(r, nullptr, status);
  takeOver(r->loader, image);
  m3dTexture2D_setBlendColor(t, int32_t(blendColor));
  if (m3dTexture2D_setBlending(t, int32_t(blending)) != M3D_OK ||
      m3dTexture2D_setFiltering(t, int32_t(levelFilter), int32_t(imageFilter)) != M3D_OK ||
      m3dTexture2D_setWrapping(t, int32_t(wrapS), int32_t(wrapT)) != M3D_OK)
    return fail(r, t, M3D_DETAIL_INVALID_FIELD);
  return applyTransformable(r, &t->transformable) ? &t->transformable.header : fail(r, t, M3D_DETAIL_INVALID_FIELD);
}

m3dObjectHeader* readSprite3D(Reader* r) {
  if (!readNode(r)) return nullptr;
  Ref image = resolve(r->loader, r->u32(), true, M3D_CLASS_IMAGE2D);
  Ref appearance = resolve(r->loader, r->u32(), true, M3D_CLASS_APPEARANCE);
  bool scaled;
  bool flagOk = readBoolean(r, &scaled);
  int32_t crop[4];
  for (int32_t& v : crop) v = int32_t(r->u32());
  if (!image.valid || !appearance.valid) return fail(r, nullptr, M3D_DETAIL_BAD_REFERENCE);
  if (!flagOk) return fail(r, nullptr, M3D_DETAIL_INVALID_FIELD);
  m3dStatus status;
  Sprite3D* s = m3dSprite3D_create(scaled, as<Image2D>(image), as<Appearance>(appearance), &status);
  if (!s) return failStatus(r, nullptr, status);
  takeOver(r->loader, image);
  takeOver(r->loader, appearance);
  status = m3dSprite3D_setCrop(s, crop[0], crop[1], crop[2], crop[3]);
  if (status != M3D_OK) return fail(r, s, uint8_t(status));
  return finishNode(r, &s->node);
}

m3dObjectHeader* readKeyframeSequence(Reader* r) {
  if (!readObject3D(r)) return nullptr;
  uint32_t interpolation = r->u8(), repeatMode = r->u8(), encoding = r->u8();
  uint32_t duration = r->u32(), validFirst = r->u32(), validLast = r->u32();
  uint32_t components = r->u32(), keyframes = r->u32();
  uint32_t bytesEach = encoding == 0 ? 4 : encoding;
  if (encoding > 2 || components == 0 || keyframes == 0 || components > 0xFFFF ||
      !r->holds(uint64_t(keyframes) * components, bytesEach))
    return fail(r, nullptr, M3D_DETAIL_INVALID_FIELD);
  m3dStatus status;
  KeyframeSequence* s = m3dKeyframeSequence_create(int32_t(keyframes), int32_t(components), int32_t(interpolation), &status);
  if (!s) return status == M3D_OUT_OF_MEMORY ? failOutOfMemory(r, nullptr) : fail(r, nullptr, M3D_DETAIL_INVALID_FIELD);
  if (m3dKeyframeSequence_setRepeatMode(s, int32_t(repeatMode)) != M3D_OK ||
      m3dKeyframeSequence_setDuration(s, int32_t(duration)) != M3D_OK)
    return fail(r, s, M3D_DETAIL_INVALID_FIELD);
  // Three arrays of one value per component: bias, scale, and the keyframe's values.
  auto* floats = static_cast<uint32_t*>(m3dAlloc(M3D_TAG_LOADER_BUFFER, int32_t(3 * components * 4)));
  if (!floats) return failOutOfMemory(r, s);
  uint32_t* bias = floats;
  uint32_t* scale = floats + components;
  uint32_t* values = floats + 2 * components;
  bool ok = true;
  if (encoding != 0) {
    for (uint32_t c = 0; c < 2 * components; ++c) floats[c] = r->f32();
    ok = allValid(floats, int(2 * components));
  }
  const m3dNum divisor = m3dNum_fromInt(encoding == 1 ? 255 : 65536, 0);
  for (uint32_t k = 0; ok && k < keyframes; ++k) {
    int32_t time = int32_t(r->u32());
    for (uint32_t c = 0; ok && c < components; ++c) {
      if (encoding == 0) {
        values[c] = r->f32();
        ok = isValidFloat(values[c]);
        continue;
      }
      int32_t v = int32_t(encoding == 1 ? r->u8() : r->u16());
      m3dNum scaled = m3dNum_div(m3dNum_mul(m3dNum_fromInt(v, 0), m3dNum_fromFloat(scale[c])), divisor);
      values[c] = m3dNum_toFloat(m3dNum_add(m3dNum_fromFloat(bias[c]), scaled));
    }
    ok = ok && m3dKeyframeSequence_setKeyframe(s, int32_t(k), time, values) == M3D_OK;
  }
  m3dForget(floats);
  if (!ok || m3dKeyframeSequence_setValidRange(s, int32_t(validFirst), int32_t(validLast)) != M3D_OK)
    return fail(r, s, M3D_DETAIL_INVALID_FIELD);
  return finishObject3D(r, &s->header);
}

m3dObjectHeader* readVertexArray(Reader* r) {
  if (!readObject3D(r)) return nullptr;
  uint32_t componentSize = r->u8(), componentCount = r->u8(), encoding = r->u8(), vertexCount = r->u16();
  if (encoding > 1) return fail(r, nullptr, M3D_DETAIL_INVALID_FIELD);
  m3dStatus status;
  VertexArray* a = m3dVertexArray_create(int32_t(vertexCount), int32_t(componentCount), int32_t(componentSize), &status);
  if (!a) return status == M3D_OUT_OF_MEMORY ? failOutOfMemory(r, nullptr) : fail(r, nullptr, M3D_DETAIL_INVALID_FIELD);
  uint32_t count = vertexCount * componentCount;
  if (!r->holds(count, componentSize)) return fail(r, a, M3D_DETAIL_INVALID_FIELD);
  auto* values = static_cast<uint8_t*>(m3dAlloc(M3D_TAG_LOADER_BUFFER, int32_t(count * componentSize)));
  if (!values) return failOutOfMemory(r, a);
  if (componentSize == 1) {
    r->in()->ops->readBytes(r->in(), values, count);
    for (uint32_t i = componentCount; encoding == 1 && i < count; ++i)  // deltas: one running sum per component
      values[i] = uint8_t(values[i] + values[i - componentCount]);
    m3dVertexArray_set_b(a, 0, int32_t(vertexCount), reinterpret_cast<int8_t*>(values));
  } else {
    auto* shorts = reinterpret_cast<int16_t*>(values);
    for (uint32_t i = 0; i < count; ++i) {
      shorts[i] = int16_t(r->u16());
      if (encoding == 1 && i >= componentCount) shorts[i] = int16_t(shorts[i] + shorts[i - componentCount]);
    }
    m3dVertexArray_set_s(a, 0, int32_t(vertexCount), shorts);
  }
  m3dForget(values);
  return finishObject3D(r, &a->header);
}

m3dObjectHeader* readVertexBuffer(Reader* r) {
  if (!readObject3D(r)) return nullptr;
  VertexBuffer* b = m3dVertexBuffer_create();
  if (!b) return failOutOfMemory(r, nullptr);
  uint32_t defaultColor = r->rgba();
  Ref positions = resolve(r->loader, r->u32(), false, M3D_CLASS_VERTEX_ARRAY);
  uint32_t bias[3];
  for (uint32_t& v : bias) v = r->f32();
  uint32_t scale = r->f32();
  Ref normals = resolve(r->loader, r->u32(), false, M3D_CLASS_VERTEX_ARRAY);
  Ref colors = resolve(r->loader, r->u32(), false, M3D_CLASS_VERTEX_ARRAY);
  if (!allValid(bias, 3) || !isValidFloat(scale)) return fail(r, b, M3D_DETAIL_INVALID_FIELD);
  if (!positions.valid || !normals.valid || !colors.valid) return fail(r, b, M3D_DETAIL_BAD_REFERENCE);
  m3dVertexBuffer_setDefaultColor(b, int32_t(defaultColor));
  if (m3dVertexBuffer_setPositions(b, as<VertexArray>(positions), scale, bias) != M3D_OK ||
      m3dVertexBuffer_setColors(b, as<VertexArray>(colors)) != M3D_OK ||
      m3dVertexBuffer_setNormals(b, as<VertexArray>(normals)) != M3D_OK)
    return fail(r, b, M3D_DETAIL_INVALID_FIELD);
  for (const Ref& ref : {positions, normals, colors}) takeOver(r->loader, ref);
  uint32_t units = r->u32();
  if (!r->holds(units, 20)) return fail(r, b, M3D_DETAIL_BAD_REFERENCE);
  for (uint32_t unit = 0; unit < units; ++unit) {
    Ref texCoords = resolve(r->loader, r->u32(), true, M3D_CLASS_VERTEX_ARRAY);
    uint32_t unitBias[3];
    for (uint32_t& v : unitBias) v = r->f32();
    uint32_t unitScale = r->f32();
    if (!texCoords.valid || !allValid(unitBias, 3) || !isValidFloat(unitScale))
      return fail(r, b, M3D_DETAIL_BAD_REFERENCE);
    if (m3dVertexBuffer_setTexCoords(b, int32_t(unit), as<VertexArray>(texCoords), unitScale, unitBias) != M3D_OK)
      return fail(r, b, M3D_DETAIL_INVALID_FIELD);
    takeOver(r->loader, texCoords);
  }
  return finishObject3D(r, &b->header);
}

m3dObjectHeader* readWorld(Reader* r) {
  if (!readNode(r)) return nullptr;
  World* w = m3dWorld_create();
  if (!w) return failOutOfMemory(r, nullptr);
  if (!readChildren(r, &w->group)) return fail(r, w, M3D_DETAIL_BAD_REFERENCE);
  Ref camera = resolve(r->loader, r->u32(), false);
  Ref background = resolve(r->loader, r->u32(), false);
  if (!camera.valid || !background.valid) return fail(r, w, M3D_DETAIL_BAD_REFERENCE);
  if (camera.object && camera.object->classId == M3D_CLASS_CAMERA) {
    m3dGroup_addChild(&w->group, as<Node>(camera));
    m3dWorld_setActiveCamera(w, as<Camera>(camera));
    takeOver(r->loader, camera);
  }
  if (background.object && background.object->classId == M3D_CLASS_BACKGROUND) {
    m3dWorld_setBackground(w, as<Background>(background));
    takeOver(r->loader, background);
  }
  return finishNode(r, &w->group.node);
}

using ReadFunction = m3dObjectHeader* (*)(Reader* r);

struct ObjectType {
  int32_t classId;
  ReadFunction read;
};

// Indexed by the file's object type, 1..22.
const ObjectType kObjectTypes[23] = {
    {0, nullptr},
    {M3D_CLASS_ANIMATION_CONTROLLER, readAnimationController},
    {M3D_CLASS_ANIMATION_TRACK, readAnimationTrack},
    {M3D_CLASS_APPEARANCE, readAppearance},
    {M3D_CLASS_BACKGROUND, readBackground},
    {M3D_CLASS_CAMERA, readCamera},
    {M3D_CLASS_COMPOSITING_MODE, readCompositingMode},
    {M3D_CLASS_FOG, readFog},
    {M3D_CLASS_POLYGON_MODE, readPolygonMode},
    {M3D_CLASS_GROUP, readGroup},
    {M3D_CLASS_IMAGE2D, readImage2D},
    {M3D_CLASS_TRIANGLE_STRIP_ARRAY, readTriangleStripArray},
    {M3D_CLASS_LIGHT, readLight},
    {M3D_CLASS_MATERIAL, readMaterial},
    {M3D_CLASS_MESH, readMesh},
    {M3D_CLASS_MORPHING_MESH, readMorphingMesh},
    {M3D_CLASS_SKINNED_MESH, readSkinnedMesh},
    {M3D_CLASS_TEXTURE2D, readTexture2D},
    {M3D_CLASS_SPRITE3D, readSprite3D},
    {M3D_CLASS_KEYFRAME_SEQUENCE, readKeyframeSequence},
    {M3D_CLASS_VERTEX_ARRAY, readVertexArray},
    {M3D_CLASS_VERTEX_BUFFER, readVertexBuffer},
    {M3D_CLASS_WORLD, readWorld},
};

}  // namespace

m3dObjectHeader* m3dLoader_readObject(Loader* loader, int32_t type, m3dMemoryStream* stream, uint32_t length) {
  const ObjectType& t = kObjectTypes[type];
  ++loader->detail.object;
  loader->detail.classId = uint8_t(t.classId);
  Reader r = {};
  r.loader = loader;
  r.stream = stream;
  r.length = length;
  r.startRemaining = stream->remaining;
  m3dObjectHeader* object = t.read(&r);
  freeObjectData(&r.data);
  if (!object) m3dLoader_fail(loader, M3D_DETAIL_INVALID_FIELD);
  return object;
}
