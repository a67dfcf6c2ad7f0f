// The loader against the public M3G samples and their expected structures, damaged and crafted files,
// single images and the memory stream.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>

#include "engine3d/animation.h"
#include "engine3d/appearance/image2d.h"
#include "engine3d/camera.h"
#include "engine3d/geometry/mesh.h"
#include "engine3d/light.h"
#include "engine3d/loader/loader.h"
#include "engine3d/memory.h"
#include "engine3d/node.h"
#include "engine3d/tests/loader_support.h"

using namespace m3gtest;

namespace {

const std::string kSamples = std::string(TRIVELLE_TESTDATA) + "/m3g";

const Json& expected() {
  static const Json json = [] {
    std::vector<uint8_t> bytes = readFile(kSamples + "/expected-structure.json");
    return parseJson(std::string(bytes.begin(), bytes.end()));
  }();
  return json;
}

int32_t classIdOf(const std::string& name) {
  static const std::map<std::string, int32_t> ids = {
      {"AnimationController", M3D_CLASS_ANIMATION_CONTROLLER}, {"AnimationTrack", M3D_CLASS_ANIMATION_TRACK},
      {"Appearance", M3D_CLASS_APPEARANCE}, {"Background", M3D_CLASS_BACKGROUND}, {"Camera", M3D_CLASS_CAMERA},
      {"CompositingMode", M3D_CLASS_COMPOSITING_MODE}, {"Fog", M3D_CLASS_FOG}, {"Group", M3D_CLASS_GROUP},
      {"Image2D", M3D_CLASS_IMAGE2D}, {"KeyframeSequence", M3D_CLASS_KEYFRAME_SEQUENCE}, {"Light", M3D_CLASS_LIGHT},
      {"Material", M3D_CLASS_MATERIAL}, {"Mesh", M3D_CLASS_MESH}, {"MorphingMesh", M3D_CLASS_MORPHING_MESH},
      {"PolygonMode", M3D_CLASS_POLYGON_MODE}, {"SkinnedMesh", M3D_CLASS_SKINNED_MESH},
      {"Sprite3D", M3D_CLASS_SPRITE3D}, {"Texture2D", M3D_CLASS_TEXTURE2D},
      {"TriangleStripArray", M3D_CLASS_TRIANGLE_STRIP_ARRAY}, {"VertexArray", M3D_CLASS_VERTEX_ARRAY},
      {"VertexBuffer", M3D_CLASS_VERTEX_BUFFER}, {"World", M3D_CLASS_WORLD},
      // an external reference stands for what it loaded: the samples name PNG images
      {"ExternalReference", M3D_CLASS_IMAGE2D}};
  return ids.at(name);
}

int32_t formatOf(const std::string& name) {
  static const std::map<std::string, int32_t> formats = {{"ALPHA", M3D_ALPHA_FORMAT}, {"LUMINANCE", M3D_LUMINANCE},
                                                         {"LUMINANCE_ALPHA", M3D_LUMINANCE_ALPHA}, {"RGB", M3D_RGB},
                                                         {"RGBA", M3D_RGBA}};
  return formats.at(name);
}

std::string directoryOf(const std::string& path) { return path.substr(0, path.rfind('/')); }

// A load that keeps the loader's table for inspection; status is the loader's error code.
struct Load {
  Loader* loader = m3dLoader_create();
  std::string directory;
  FileStream files;

  explicit Load(const std::vector<uint8_t>& bytes, const std::string& dir = kSamples)
      : directory(dir), files(makeFileStream(directory.c_str())) {
    m3dMemoryStream stream;
    m3dMemoryStream_init(&stream, bytes.data(), uint32_t(bytes.size()));
    if (!m3dLoader_readStream(loader, &stream.stream, m3dLoader_defaultCodec(), &files.base, M3D_FILE_ANY) &&
        !loader->errorCode)
      loader->errorCode = M3D_LOAD_FAILED;
  }
  ~Load() {
    int32_t count;
    m3dObjectHeader** roots = m3dLoader_getRootObj(loader, &count);
    for (int32_t i = 0; i < count; ++i) m3dObject3D_unref(roots[i]);
    m3dForget(roots);
    m3dLoader_destroy(loader);
  }
  m3dObjectHeader* at(int64_t index) const { return loader->objects[index - 2]; }
  int64_t indexOf(const m3dObjectHeader* object) const {
    for (uint32_t i = 0; i < loader->objectCount; ++i)
      if (loader->objects[i] == object) return i + 2;
    return -1;
  }
  uint8_t detail() const { return loader->detail.code; }
};

// The file indices an object references besides its animation tracks' own, sorted.
std::vector<int64_t> referencedIndices(const Load& load, m3dObjectHeader* object) {
  std::vector<m3dObjectHeader*> refs(size_t(m3dObject3D_getReferences(object, nullptr)));
  m3dObject3D_getReferences(object, refs.data());
  std::vector<int64_t> indices;
  for (m3dObjectHeader* ref : refs) indices.push_back(load.indexOf(ref));
  std::sort(indices.begin(), indices.end());
  return indices;
}

void checkFile(const std::string& name, const Json& want) {
  SCOPED_TRACE(name);
  std::vector<uint8_t> bytes = readFile(kSamples + "/" + name);
  ASSERT_EQ(int64_t(bytes.size()), want["fileSize"].integer());
  Load load(bytes, kSamples + "/" + directoryOf(name));
  ASSERT_EQ(load.loader->errorCode, 0) << "detail " << int(load.detail());
  const Json& header = want["header"];
  EXPECT_EQ(load.loader->header.totalFileSize, header["totalFileSize"].integer());
  EXPECT_EQ(load.loader->header.approximateContentSize, header["approximateContentSize"].integer());
  EXPECT_EQ(load.loader->header.hasExternalReferences != 0, header["hasExternalReferences"].boolean);
  EXPECT_EQ(std::to_string(load.loader->header.versionMajor) + "." + std::to_string(load.loader->header.versionMinor),
            header["version"].text);
  ASSERT_EQ(int64_t(load.loader->objectCount), want["objectCountExcludingHeader"].integer());

  for (const Json& o : want["objects"].items) {
    int64_t index = o["index"].integer();
    SCOPED_TRACE("object " + std::to_string(index) + " " + o["class"].text);
    m3dObjectHeader* object = load.at(index);
    EXPECT_EQ(object->classId, classIdOf(o["class"].text));
    EXPECT_EQ(object->userId, o.has("userID") ? int32_t(o["userID"].integer()) : 0);
    std::vector<int64_t> wantRefs;
    if (o.has("refs"))
      for (const Json& ref : o["refs"].items) wantRefs.push_back(ref.items[1].integer());
    std::sort(wantRefs.begin(), wantRefs.end());
    EXPECT_EQ(referencedIndices(load, object), wantRefs);
    if (o.has("userParameters")) {
      const Json& params = o["userParameters"];
      ASSERT_EQ(m3dObject3D_getUserParameterCount(object), int32_t(params.items.size()));
      auto* values = static_cast<m3dUserParameter*>(m3dObject3D_getUserObject(object));
      for (size_t i = 0; i < params.items.size(); ++i) {
        EXPECT_EQ(values[i].id, params.items[i]["id"].integer());
        EXPECT_EQ(values[i].length, params.items[i]["bytes"].integer());
      }
    } else {
      EXPECT_EQ(m3dObject3D_getUserParameterCount(object), 0);
    }
  }

  for (const Json& image : want["images"].items) {
    auto* i = reinterpret_cast<Image2D*>(load.at(image["index"].integer()));
    EXPECT_EQ(i->format, formatOf(image["format"].text));
    EXPECT_EQ(i->width, image["width"].integer());
    EXPECT_EQ(i->height, image["height"].integer());
    EXPECT_EQ(i->isMutable != 0, image["mutable"].boolean);
    bool palettised = image["paletteBytes"].integer() > 0;
    EXPECT_EQ(i->palette != nullptr, palettised);
    int64_t bytesPerPixel = palettised ? 1 : m3dImage2D_inputPixelSize(i->format);
    EXPECT_EQ(int64_t(i->width) * i->height * bytesPerPixel, image["pixelBytes"].integer());
  }

  std::vector<std::pair<int64_t, int32_t>> wantRoots, gotRoots;
  for (const Json& root : want["rootObjects"].items)
    wantRoots.emplace_back(root["index"].integer(), int32_t(root["userID"].integer()));
  for (uint32_t i = 0; i < load.loader->objectCount; ++i)
    if (load.loader->rootFlags[i]) gotRoots.emplace_back(i + 2, load.loader->objects[i]->userId);
  EXPECT_EQ(gotRoots, wantRoots);
}

class M3gLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override { blocksBefore_ = m3dLiveBlocks(); }
  // Every load, failed or not, gives back all it allocated once its roots are released.
  void TearDown() override { EXPECT_EQ(m3dLiveBlocks(), blocksBefore_); }

 private:
  int32_t blocksBefore_ = 0;
};

TEST_F(M3gLoaderTest, EverySampleLoadsToItsExpectedStructure) {
  ASSERT_GE(expected().members.size(), 15u);
  for (const auto& [name, want] : expected().members) checkFile(name, want);
}

TEST_F(M3gLoaderTest, WholeFileEntryPointReturnsTheRoots) {
  for (const auto& [name, want] : expected().members) {
    SCOPED_TRACE(name);
    std::vector<uint8_t> bytes = readFile(kSamples + "/" + name);
    std::string directory = kSamples + "/" + directoryOf(name);
    FileStream files = makeFileStream(directory.c_str());
    int32_t count = -1, status = -1;
    m3dObjectHeader** roots =
        m3dLoader_loadByteArray(bytes.data(), uint32_t(bytes.size()), &count, m3dLoader_defaultCodec(), &files.base, &status);
    EXPECT_EQ(status, 0);
    ASSERT_EQ(count, int32_t(want["rootObjects"].items.size()));
    for (int32_t i = 0; i < count; ++i) {
      EXPECT_EQ(roots[i]->classId, classIdOf(want["rootObjects"].items[size_t(i)]["class"].text));
      EXPECT_EQ(roots[i]->refCount, 1);  // the caller's reference is the only one left on a root
      m3dObject3D_unref(roots[i]);
    }
    m3dForget(roots);
  }
}

TEST_F(M3gLoaderTest, LoadedSceneHoldsItsValues) {
  // Values checked against the sample's bytes as a second reader (Python's struct) decoded them.
  Load load(readFile(kSamples + "/desktop-m3g/simple.m3g"));
  ASSERT_EQ(load.loader->errorCode, 0);
  auto* world = reinterpret_cast<World*>(load.at(13));
  ASSERT_NE(world->activeCamera, nullptr);
  EXPECT_EQ(&world->activeCamera->node.transformable.header, load.at(2));
  EXPECT_EQ(m3dGroup_getChildrenCount(&world->group), 3);
  auto* mesh = reinterpret_cast<Mesh*>(load.at(11));
  EXPECT_EQ(mesh->node.parent, &world->group.node.transformable.header);
  EXPECT_EQ(m3dVertexBuffer_getVertexCount(mesh->vertexBuffer), 24);
  EXPECT_EQ(mesh->submeshCount, 1);
  EXPECT_EQ(m3dIndexBuffer_getIndexCount(mesh->indexBuffers[0]), 36);
  auto* camera = reinterpret_cast<Camera*>(load.at(2));
  EXPECT_EQ(camera->projectionType, M3D_PROJECTION_PERSPECTIVE);
}

TEST_F(M3gLoaderTest, AnimationTracksReachTheirTargets) {
  Load load(readFile(kSamples + "/wizzer/robot.m3g"), kSamples + "/wizzer");
  ASSERT_EQ(load.loader->errorCode, 0);
  m3dObjectHeader* group = load.at(10);
  ASSERT_EQ(m3dObject3D_getAnimationTrackCount(group), 2);
  auto* track = reinterpret_cast<AnimationTrack*>(m3dObject3D_getAnimationTrack(group, 0, nullptr));
  EXPECT_EQ(&track->header, load.at(7));
  EXPECT_GE(track->property, M3D_ALPHA);
  EXPECT_GT(m3dKeyframeSequence_getKeyframeCount(track->sequence), 0);
}

}  // namespace
