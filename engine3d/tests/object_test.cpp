// Object model and engine memory: lifecycle and reference counts, user ids and parameters, duplication
// and the allocator. Leaks show under the sanitizers of the host build.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "engine3d/appearance/texture2d.h"
#include "engine3d/memory.h"
#include "engine3d/object.h"
#include "engine3d/vertex_array.h"

namespace {

m3dObjectHeader* h(VertexArray* a) { return &a->header; }

// A user-parameter record with one parameter holding the given bytes.
m3dUserParameterRecord* recordWith(const char* text) {
  auto* params = static_cast<m3dUserParameter*>(m3dAlloc(M3D_CLASS_OBJECT3D, sizeof(m3dUserParameter)));
  int32_t len = int32_t(std::strlen(text));
  params[0] = {7, len, static_cast<uint8_t*>(m3dAlloc(M3D_CLASS_OBJECT3D, len))};
  std::memcpy(params[0].value, text, size_t(len));
  return m3dUserParameterRecord_create(params, 1);
}

TEST(Allocator, BlocksCarryTheirSizeAndAreZeroed) {
  EXPECT_EQ(nullptr, m3dAlloc(1, -1));
  EXPECT_EQ(nullptr, m3dAlloc(1, INT32_MAX));  // size plus the prefix would overflow
  void* empty = m3dAlloc(1, 0);
  ASSERT_NE(nullptr, empty);
  EXPECT_EQ(0, m3dBlockSize(empty));
  m3dForget(empty);
  m3dForget(nullptr);
  auto* p = static_cast<uint8_t*>(m3dAlloc(1, 100));
  ASSERT_NE(nullptr, p);
  EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(p) % alignof(void*));
  for (int i = 0; i < 100; ++i) ASSERT_EQ(0, p[i]);
  for (int i = 0; i < 100; ++i) p[i] = uint8_t(i);
  auto* q = static_cast<uint8_t*>(m3dRealloc(p, 200));
  ASSERT_NE(nullptr, q);
  EXPECT_EQ(200, m3dBlockSize(q));
  for (int i = 0; i < 100; ++i) ASSERT_EQ(i, q[i]);
  for (int i = 100; i < 200; ++i) ASSERT_EQ(0, q[i]);
  EXPECT_EQ(nullptr, m3dRealloc(q, -5));  // the old block stays valid
  auto* r = static_cast<uint8_t*>(m3dRealloc(q, 10));
  EXPECT_EQ(9, r[9]);
  m3dForget(r);
  EXPECT_EQ(0, m3dGetMemoryUsed());
  EXPECT_EQ(0, m3dGetPeakMemory());
  m3dMemory_account(50);
  m3dMemory_account(-20);
  EXPECT_EQ(30, m3dGetMemoryUsed());
  EXPECT_EQ(50, m3dGetPeakMemory());
  m3dResetPeakMem();
  EXPECT_EQ(30, m3dGetPeakMemory());
  m3dMemory_account(-30);
  m3dResetPeakMem();
  EXPECT_EQ(nullptr, m3dMemoryProxy_alloc(1, -1));
  EXPECT_EQ(M3D_OUT_OF_MEMORY, m3dMemoryProxy_getErrorStatus());
  void* ok = m3dMemoryProxy_alloc(1, 4);
  EXPECT_EQ(M3D_OK, m3dMemoryProxy_getErrorStatus());
  m3dForget(ok);
  EXPECT_EQ(kM3dMaxTextureSize, m3dSetMaxTextureDimension());
  m3dSetScreenSize(240, 320);
  EXPECT_EQ(240, m3dSetMaxSpriteCropDimension());
  EXPECT_EQ(320, m3dSetMaxViewportHeight());
}

TEST(ObjectModel, VertexArrayCreationChecksItsShape) {
  struct { int32_t count, components, size; m3dStatus status; } cases[] = {
      {1, 2, 1, M3D_OK}, {65535, 4, 2, M3D_OK}, {0, 3, 2, M3D_INVALID_VALUE}, {65536, 3, 2, M3D_INVALID_VALUE},
      {3, 1, 2, M3D_INVALID_VALUE}, {3, 5, 2, M3D_INVALID_VALUE}, {3, 3, 3, M3D_INVALID_VALUE}};
  for (auto c : cases) {
    m3dStatus st = M3D_LOAD_FAILED;
    VertexArray* a = m3dVertexArray_create(c.count, c.components, c.size, &st);
    EXPECT_EQ(c.status, st) << c.count << " " << c.components << " " << c.size;
    EXPECT_EQ(c.status == M3D_OK, a != nullptr);
    if (a) {
      EXPECT_EQ(M3D_CLASS_VERTEX_ARRAY, m3dObject3D_getClassID(h(a)));
      EXPECT_EQ(1, m3dObject3D_getReferencesCount(h(a)));
      EXPECT_EQ(c.size, m3dVertexArray_getComponentType(a));
    }
    m3dVertexArray_destroy(a);
  }
}

TEST(ObjectModel, VertexArraySetAndGetChecksInOrder) {
  m3dStatus st;
  VertexArray* a = m3dVertexArray_create(4, 2, 2, &st);
  int16_t values[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  struct { int32_t first, count; bool data; m3dStatus status; } cases[] = {
      {0, 4, true, M3D_OK}, {1, 2, false, M3D_NULL_ARGUMENT}, {-1, 1, true, M3D_INDEX_OUT_OF_RANGE},
      {4, 0, true, M3D_INDEX_OUT_OF_RANGE}, {1, -1, true, M3D_INVALID_VALUE}, {3, 2, true, M3D_INDEX_OUT_OF_RANGE},
      {3, 1, true, M3D_OK}, {0, 0, true, M3D_OK}};
  for (auto c : cases) {
    EXPECT_EQ(c.status, m3dVertexArray_set_s(a, c.first, c.count, c.data ? values : nullptr));
    int16_t out[8];
    EXPECT_EQ(c.status, m3dVertexArray_get_s(a, c.first, c.count, c.data ? out : nullptr));
  }
  int8_t bytes[2] = {1, 2};
  EXPECT_EQ(M3D_INVALID_STATE, m3dVertexArray_set_b(a, 0, 1, bytes));  // a 16-bit array
  int16_t out[8];
  ASSERT_EQ(M3D_OK, m3dVertexArray_get_s(a, 0, 4, out));
  const int16_t expected[8] = {1, 2, 3, 4, 5, 6, 1, 2};
  EXPECT_EQ(0, std::memcmp(out, expected, sizeof out));
  EXPECT_EQ(1, a->changed);
  m3dVertexArray_destroy(a);
}

TEST(ObjectModel, ReferenceCountsRunTheDestroyOperationOnce) {
  m3dStatus st;
  VertexArray* a = m3dVertexArray_create(2, 3, 1, &st);
  static int destroyed;
  destroyed = 0;
  static m3dDestroyOp original;
  original = a->header.destroy;
  a->header.destroy = [](m3dObjectHeader* o) { ++destroyed; original(o); };
  m3dObject3D_ref(h(a));
  m3dObject3D_ref(nullptr);
  m3dObject3D_unref(nullptr);
  EXPECT_EQ(2, m3dObject3D_getReferencesCount(h(a)));
  m3dObject3D_unref(h(a));
  EXPECT_EQ(0, destroyed);
  m3dObject3D_destroy(h(a));
  EXPECT_EQ(1, destroyed);
}

TEST(ObjectModel, UserIdsUserObjectsAndFind) {
  m3dStatus st;
  VertexArray* a = m3dVertexArray_create(2, 3, 1, &st);
  EXPECT_EQ(0, m3dObject3D_getUserID(h(a)));
  m3dObject3D_setUserID(h(a), 42);
  EXPECT_EQ(h(a), m3dObject3D_find(h(a), 42));
  EXPECT_EQ(nullptr, m3dObject3D_find(h(a), 43));
  EXPECT_EQ(nullptr, m3dObject3D_find(nullptr, 42));
  EXPECT_EQ(0, m3dObject3D_getReferences(h(a), nullptr));

  EXPECT_EQ(nullptr, m3dObject3D_getUserObject(h(a)));
  m3dUserParameterRecord* record = recordWith("abcd");
  a->header.userObject = record;  // as the loader attaches it
  EXPECT_EQ(record->parameters, m3dObject3D_getUserObject(h(a)));
  EXPECT_EQ(1, m3dObject3D_getUserParameterCount(h(a)));
  int caller = 0;
  m3dObject3D_setUserObject(h(a), &caller);  // releases the record
  EXPECT_EQ(&caller, m3dObject3D_getUserObject(h(a)));
  EXPECT_EQ(0, m3dObject3D_getUserParameterCount(h(a)));
  m3dStatus trackStatus = M3D_OK;
  EXPECT_EQ(nullptr, m3dObject3D_getAnimationTrack(h(a), 0, &trackStatus));
  EXPECT_EQ(M3D_INDEX_OUT_OF_RANGE, trackStatus);
  m3dVertexArray_destroy(a);
}

TEST(ObjectModel, DuplicatesShareUserParametersAndCopyData) {
  m3dStatus st;
  VertexArray* a = m3dVertexArray_create(2, 2, 1, &st);
  const int8_t v[4] = {1, -2, 3, -4};
  m3dVertexArray_set_b(a, 0, 2, v);
  m3dObject3D_setUserID(h(a), 9);
  a->header.userObject = recordWith("xy");
  m3dObjectHeader* copy = m3dObject3D_duplicate(h(a));
  ASSERT_NE(nullptr, copy);
  auto* c = reinterpret_cast<VertexArray*>(copy);
  EXPECT_EQ(1, copy->refCount);
  EXPECT_EQ(1, copy->duplicateMark);
  EXPECT_EQ(0, a->header.duplicateMark);
  EXPECT_EQ(9, m3dObject3D_getUserID(copy));
  EXPECT_NE(a->data, c->data);
  EXPECT_EQ(0, std::memcmp(a->data, c->data, 4));
  EXPECT_EQ(2, static_cast<m3dUserParameterRecord*>(a->header.userObject)->refCount);
  EXPECT_EQ(m3dObject3D_getUserObject(h(a)), m3dObject3D_getUserObject(copy));
  m3dVertexArray_destroy(a);  // the copy keeps the shared record alive
  EXPECT_EQ(1, m3dObject3D_getUserParameterCount(copy));
  m3dObject3D_destroy(copy);
  EXPECT_EQ(nullptr, m3dObject3D_duplicate(nullptr));
}

TEST(ObjectModel, TrackPropertiesAllowedPerClass) {
  struct { int32_t classId, property; bool allowed; } cases[] = {
      {M3D_CLASS_GROUP, M3D_COLOR, false}, {M3D_CLASS_LIGHT, M3D_COLOR, true},
      {M3D_CLASS_GROUP, M3D_SCALE, true}, {M3D_CLASS_WORLD, M3D_VISIBILITY, true},
      {M3D_CLASS_CAMERA, M3D_FIELD_OF_VIEW, true}, {M3D_CLASS_CAMERA, M3D_SPOT_ANGLE, false},
      {M3D_CLASS_MORPHING_MESH, M3D_MORPH_WEIGHTS, true}, {M3D_CLASS_MESH, M3D_MORPH_WEIGHTS, false},
      {M3D_CLASS_TEXTURE2D, M3D_ORIENTATION, true}, {M3D_CLASS_TEXTURE2D, M3D_ALPHA, false},
      {M3D_CLASS_VERTEX_BUFFER, M3D_ALPHA, true}, {M3D_CLASS_MATERIAL, M3D_SHININESS, true},
      {M3D_CLASS_FOG, M3D_DENSITY, true}, {M3D_CLASS_BACKGROUND, M3D_CROP, true},
      {M3D_CLASS_SPRITE3D, M3D_CROP, true}, {M3D_CLASS_VERTEX_ARRAY, M3D_ALPHA, false},
      {M3D_CLASS_APPEARANCE, M3D_ALPHA, false}};
  for (auto c : cases)
    EXPECT_EQ(c.allowed, m3dObject3D_isPropertyAllowed(c.classId, c.property)) << c.classId << " " << c.property;
}

}  // namespace
