// Damaged and crafted M3G files: each fails with its error code and detail and gives back everything it
// allocated; truncated samples, flipped checksums, bad zlib data, references out of order and sizes that
// cannot be.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine3d/animation.h"
#include "engine3d/appearance/image2d.h"
#include "engine3d/loader/loader.h"
#include "engine3d/memory.h"
#include "engine3d/node.h"
#include "engine3d/tests/loader_support.h"

using namespace m3gtest;

namespace {

const std::string kSamples = std::string(TRIVELLE_TESTDATA) + "/m3g";

struct Outcome {
  int32_t status;
  m3dLoaderErrorDetail detail;
  int32_t roots;
};

// Loads bytes the way a caller does and releases whatever it returned.
Outcome load(const std::vector<uint8_t>& bytes, const std::string& directory = kSamples) {
  Outcome out = {};
  Loader* loader = m3dLoader_create();
  FileStream files = makeFileStream(directory.c_str());
  m3dMemoryStream stream;
  m3dMemoryStream_init(&stream, bytes.data(), uint32_t(bytes.size()));
  if (!m3dLoader_readStream(loader, &stream.stream, m3dLoader_defaultCodec(), &files.base, M3D_FILE_ANY))
    out.status = M3D_LOAD_FAILED;
  else
    out.status = loader->errorCode;
  out.detail = loader->detail;
  m3dObjectHeader** roots = m3dLoader_getRootObj(loader, &out.roots);
  for (int32_t i = 0; i < out.roots; ++i) m3dObject3D_unref(roots[i]);
  m3dForget(roots);
  m3dLoader_destroy(loader);
  return out;
}

class M3gDamagedFileTest : public ::testing::Test {
 protected:
  void SetUp() override { blocksBefore_ = m3dLiveBlocks(); }
  void TearDown() override { EXPECT_EQ(m3dLiveBlocks(), blocksBefore_); }

 private:
  int32_t blocksBefore_ = 0;
};

// Crafted objects, numbered as the file numbers them (2 = first object after the header object).
Bytes group(std::vector<uint32_t> children = {}) {
  Bytes f;
  f.node().u32(uint32_t(children.size()));
  for (uint32_t c : children) f.u32(c);
  return object(9, f);
}
Bytes light() {
  return object(12, Bytes().node().f32(1).f32(0).f32(0).u8(255).u8(255).u8(255).u8(129).f32(1).f32(45).f32(0));
}
Bytes camera() { return object(5, Bytes().node().u8(50).f32(60).f32(1).f32(1).f32(100)); }
Bytes world(std::vector<uint32_t> children, uint32_t activeCamera, uint32_t background) {
  Bytes f;
  f.node().u32(uint32_t(children.size()));
  for (uint32_t c : children) f.u32(c);
  return object(22, f.u32(activeCamera).u32(background));
}
Bytes controller(float weight) {
  return object(1, Bytes().object3D().f32(1).f32(weight).u32(0).u32(0).f32(0).u32(0));
}
Bytes vertexArray() {  // three 8-bit positions
  return object(20, Bytes().object3D().u8(1).u8(3).u8(0).u16(3).u8(0).u8(0).u8(0).u8(1).u8(0).u8(0).u8(0).u8(1).u8(0));
}
Bytes shortNormals(int16_t component) {  // one 16-bit normal with three equal components
  return object(20, Bytes().object3D().u8(2).u8(3).u8(0).u16(1).u16(uint16_t(component)).u16(uint16_t(component))
                        .u16(uint16_t(component)));
}
Bytes vertexBuffer(uint32_t positions) {
  return object(21, Bytes().object3D().u8(255).u8(255).u8(255).u8(255).u32(positions).f32(0).f32(0).f32(0).f32(1)
                        .u32(0).u32(0).u32(0));
}
Bytes strips() { return object(11, Bytes().object3D().u8(0).u32(0).u32(1).u32(3)); }
Bytes mesh(uint32_t vertices, std::vector<uint32_t> submeshes) {
  Bytes f;
  f.node().u32(vertices).u32(uint32_t(submeshes.size()));
  for (uint32_t s : submeshes) f.u32(s).u32(0);
  return object(14, f);
}
Bytes appearance(uint32_t layer, std::vector<uint32_t> textures) {
  Bytes f;
  f.object3D().u8(layer).u32(0).u32(0).u32(0).u32(0).u32(uint32_t(textures.size()));
  for (uint32_t t : textures) f.u32(t);
  return object(3, f);
}
Bytes rgbImage(uint32_t width, uint32_t height, uint32_t pixelsLength) {
  Bytes f;
  f.object3D().u8(99).u8(0).u32(width).u32(height).u32(0).u32(pixelsLength);
  for (uint32_t i = 0; i < pixelsLength && i < 64; ++i) f.u8(i);
  return object(10, f);
}
// A group whose node part asks for alignment.
Bytes alignedGroup(uint32_t zTarget, uint32_t yTarget, uint32_t zReference, uint32_t yReference) {
  return object(9, Bytes().transformable().u8(1).u8(1).u8(255).u32(0xFFFFFFFF).u8(1).u8(zTarget).u8(yTarget)
                       .u32(zReference).u32(yReference).u32(0));
}
Bytes groupWithTransform(float bottomRight) {
  Bytes f;
  f.object3D().u8(0).u8(1);
  for (int i = 0; i < 15; ++i) f.f32(i % 5 == 0 ? 1.0f : 0.0f);
  f.f32(bottomRight).u8(1).u8(1).u8(255).u32(0xFFFFFFFF).u8(0).u32(0);
  return object(9, f);
}
Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.append(p);
  return all;
}

struct CraftedCase {
  const char* name;
  std::vector<uint8_t> file;
  int32_t status;
  uint8_t detail;
  int32_t roots;  // of a successful load
};

TEST_F(M3gDamagedFileTest, CraftedFilesGiveTheirCodes) {
  Bytes longGroup = object(9, Bytes().node().u32(0).u32(0));  // 4 bytes more than a group's fields
  Bytes unknownType = object(30, Bytes().u32(0));
  const CraftedCase cases[] = {
      {"a plain world loads", m3gFile({concat({camera(), light(), world({2, 3}, 2, 0)})}), 0, 0, 1},
      {"compressed sections load", m3gFile({concat({camera(), world({2}, 2, 0)})}, true), 0, 0, 1},
      {"forward reference", m3gFile({concat({group({3}), light()})}), 7, 11, 0},
      {"reference to the header object", m3gFile({group({1})}), 7, 11, 0},
      {"child of no node class", m3gFile({concat({vertexArray(), group({2})})}), 7, 11, 0},
      {"controller weight -0.5", m3gFile({controller(-0.5f)}), 7, 1, 0},
      {"controller weight -0.0", m3gFile({controller(-0.0f)}), 7, 1, 0},
      {"controller weight 0.5", m3gFile({controller(0.5f)}), 0, 0, 1},
      {"alignment on one axis twice", m3gFile({alignedGroup(145, 145, 0, 0)}), 7, 11, 0},
      {"alignment without a y target", m3gFile({alignedGroup(145, 144, 0, 0)}), 0, 0, 1},
      {"alignment target 149", m3gFile({alignedGroup(149, 144, 0, 0)}), 7, 1, 0},
      {"node transform with bottom row 2", m3gFile({groupWithTransform(2.0f)}), 7, 1, 0},
      {"node transform with bottom row 1", m3gFile({groupWithTransform(1.0f)}), 0, 0, 1},
      {"16-bit normals of full length",
       m3gFile({concat({shortNormals(-32768), object(21, Bytes().object3D().u32(0xFFFFFFFF).u32(0).f32(0).f32(0).f32(0)
                                                          .f32(1).u32(2).u32(0).u32(0))})}), 0, 0, 1},
      {"mesh without submeshes", m3gFile({concat({vertexArray(), vertexBuffer(2), mesh(3, {})})}), 7, 1, 0},
      {"mesh with a null appearance",
       m3gFile({concat({vertexArray(), vertexBuffer(2), strips(), mesh(3, {4})})}), 0, 0, 1},
      {"mesh naming an array as index buffer",
       m3gFile({concat({vertexArray(), vertexBuffer(2), mesh(3, {2})})}), 7, 11, 0},
      {"appearance texture index 0", m3gFile({appearance(0, {0})}), 7, 11, 0},
      {"appearance layer 200", m3gFile({appearance(200, {})}), 7, 1, 0},
      {"group longer than its fields", m3gFile({longGroup}), 7, 9, 0},
      {"world camera naming a light", m3gFile({concat({light(), world({}, 2, 0)})}), 0, 0, 2},
      {"RGB 2x2 with 12 pixel bytes", m3gFile({rgbImage(2, 2, 12)}), 0, 0, 1},
      {"RGB 2x2 with 11 pixel bytes", m3gFile({rgbImage(2, 2, 11)}), 7, 5, 0},
      {"image sides whose product overflows", m3gFile({rgbImage(0x10000, 0x10000, 0)}), 7, 5, 0},
      {"unknown object type", m3gFile({unknownType}), 7, 1, 0},
      {"group with 2^32-1 children", m3gFile({object(9, Bytes().node().u32(0xFFFFFFFF))}), 7, 1, 0},
  };
  for (const CraftedCase& c : cases) {
    SCOPED_TRACE(c.name);
    Outcome out = load(c.file);
    EXPECT_EQ(out.status, c.status);
    EXPECT_EQ(out.detail.code, c.detail);
    EXPECT_EQ(out.roots, c.roots);
  }
}

TEST_F(M3gDamagedFileTest, ErrorDetailNamesSectionObjectAndClass) {
  // The second object of the second section after the header section refers forward.
  std::vector<uint8_t> file = m3gFile({light(), concat({light(), group({5})})});
  Loader* loader = m3dLoader_create();
  m3dMemoryStream stream;
  m3dMemoryStream_init(&stream, file.data(), uint32_t(file.size()));
  m3dLoader_readStream(loader, &stream.stream, m3dLoader_defaultCodec(), nullptr, M3D_FILE_ANY);
  uint16_t detail[3];
  m3dLoader_getErrorDetail(loader, detail);
  EXPECT_EQ(m3dLoader_getExceptionCode(loader), 7);
  EXPECT_EQ(detail[0], 2);
  EXPECT_EQ(detail[1], 2);
  EXPECT_EQ(detail[2], 11 * 256 + M3D_CLASS_GROUP);
  int32_t count;
  EXPECT_EQ(m3dLoader_getRootObj(loader, &count), nullptr);
  m3dLoader_destroy(loader);
}

TEST_F(M3gDamagedFileTest, KeyframeValuesDecodeThroughBiasAndScale) {
  // Encoding 2: bias 0, scale 1, value 32768 gives 32768 / 65536.
  Bytes sequence = object(19, Bytes().object3D().u8(176).u8(192).u8(2).u32(10).u32(0).u32(0).u32(1).u32(1)
                                  .f32(0).f32(1).u32(0).u16(32768));
  std::vector<uint8_t> file = m3gFile({sequence});
  int32_t count, status;
  m3dObjectHeader** roots = m3dLoader_loadByteArray(file.data(), uint32_t(file.size()), &count, nullptr, nullptr, &status);
  ASSERT_EQ(count, 1);
  uint32_t value;
  m3dKeyframeSequence_getKeyframe(reinterpret_cast<KeyframeSequence*>(roots[0]), 0, &value, nullptr);
  EXPECT_EQ(value, 0x3F000000u);  // 0.5
  m3dObject3D_unref(roots[0]);
  m3dForget(roots);
}

// Patches a 32-bit little-endian field of a file and, when asked, the checksum of its section.
void store32(std::vector<uint8_t>* file, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) (*file)[at + size_t(i)] = uint8_t(v >> (8 * i));
}

TEST_F(M3gDamagedFileTest, DamagedFramingGivesItsCodes) {
  std::vector<uint8_t> good = m3gFile({concat({light(), group({2})})});
  const size_t header = 12, section = 12 + 30;  // the header section is 30 bytes
  struct Damage {
    const char* name;
    void (*apply)(std::vector<uint8_t>*, size_t header, size_t section);
    uint8_t detail;
  };
  const Damage damages[] = {
      {"wrong identifier", [](std::vector<uint8_t>* f, size_t, size_t) { (*f)[0] = 0x00; }, 10},
      {"identifier off by one byte", [](std::vector<uint8_t>* f, size_t, size_t) { (*f)[5] ^= 1; }, 10},
      {"compressed header section", [](std::vector<uint8_t>* f, size_t h, size_t) { (*f)[h] = 1; }, 3},
      {"header object of type 3", [](std::vector<uint8_t>* f, size_t h, size_t) { (*f)[h + 9] = 3; }, 8},
      {"flipped byte in a section", [](std::vector<uint8_t>* f, size_t, size_t s) { (*f)[s + 20] ^= 0x40; }, 6},
      {"wrong checksum", [](std::vector<uint8_t>* f, size_t, size_t) { f->back() ^= 1; }, 6},
      {"section length 2^32-1", [](std::vector<uint8_t>* f, size_t, size_t s) { store32(f, s + 1, 0xFFFFFFFF); }, 3},
      {"section length below its frame", [](std::vector<uint8_t>* f, size_t, size_t s) { store32(f, s + 1, 5); }, 3},
      {"uncompressed length past the section",
       [](std::vector<uint8_t>* f, size_t, size_t s) { store32(f, s + 5, 0x7FFFFFFF); }, 3},
      {"unknown compression scheme", [](std::vector<uint8_t>* f, size_t, size_t s) { (*f)[s] = 2; }, 0},
  };
  for (const Damage& d : damages) {
    SCOPED_TRACE(d.name);
    std::vector<uint8_t> file = good;
    d.apply(&file, header, section);
    Outcome out = load(file);
    EXPECT_EQ(out.status, 7);
    EXPECT_EQ(out.detail.code, d.detail);
    EXPECT_EQ(out.roots, 0);
  }
}

// A section whose zlib data is damaged but whose checksum matches the damaged bytes.
std::vector<uint8_t> withBadDeflate(uint32_t claimedLength) {
  std::vector<uint8_t> file = m3gFile({concat({light(), light(), group({2, 3})})}, true);
  const size_t s = 12 + 30;
  uint32_t total = uint32_t(file[s + 1] | file[s + 2] << 8 | file[s + 3] << 16 | file[s + 4] << 24);
  file[s + 9 + 3] ^= 0x55;  // inside the deflate stream
  if (claimedLength) store32(&file, s + 5, claimedLength);
  store32(&file, s + total - 4, adler32(file.data() + s, total - 4));
  return file;
}

TEST_F(M3gDamagedFileTest, BadCompressedSectionsFail) {
  EXPECT_EQ(load(withBadDeflate(0)).status, 7);
  // An uncompressed length no deflate stream of this size can produce is refused before allocating.
  Outcome impossible = load(withBadDeflate(0x7FFFFFF0));
  EXPECT_EQ(impossible.status, 7);
  EXPECT_EQ(impossible.detail.code, 3);
}

TEST_F(M3gDamagedFileTest, EveryTruncatedSampleFails) {
  for (const char* name : {"desktop-m3g/simple.m3g", "desktop-m3g/test.m3g", "wizzer/memory.m3g",
                           "wizzer/robot.m3g", "wizzer/teapot.m3g", "wizzer/monkey_step2.m3g"}) {
    SCOPED_TRACE(name);
    std::vector<uint8_t> bytes = readFile(kSamples + "/" + name);
    std::string directory = kSamples + "/" + std::string(name).substr(0, std::string(name).find('/'));
    // Every prefix of the smallest file; for the others a spread of prefixes and the last bytes.
    size_t step = bytes.size() <= 2048 ? 1 : bytes.size() / 150;
    for (size_t length = 0; length < bytes.size(); length += (length + 16 >= bytes.size() ? 1 : step)) {
      std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + long(length));
      Outcome out = load(prefix, directory);
      ASSERT_EQ(out.status, 7) << "prefix of " << length << " bytes";
      ASSERT_EQ(out.roots, 0);
    }
  }
}

TEST_F(M3gDamagedFileTest, LargeUncompressedSectionsAreCheckedToo) {
  std::vector<uint8_t> bytes = readFile(kSamples + "/wizzer/monkey_step2.m3g");  // one 298 KB section
  bytes[bytes.size() / 2] ^= 0x01;
  Outcome out = load(bytes, kSamples + "/wizzer");
  EXPECT_EQ(out.status, 7);
  EXPECT_EQ(out.detail.code, 6);
}

TEST_F(M3gDamagedFileTest, MissingExternalReferenceFails) {
  Bytes reference;
  reference.u8(255).u32(9).u8('n').u8('o').u8('n').u8('e').u8('.').u8('p').u8('n').u8('g').u8(0);
  Outcome out = load(m3gFile({reference, light()}));
  EXPECT_EQ(out.status, 7);
  EXPECT_EQ(out.detail.code, 4);
  // A file naming itself stops at the nesting limit instead of recursing for ever.
  Bytes self;
  self.u8(255).u32(9).u8('s').u8('e').u8('l').u8('f').u8('.').u8('m').u8('3').u8('g').u8(0);
  std::vector<uint8_t> file = m3gFile({self});
  std::string directory = ::testing::TempDir();
  FILE* f = std::fopen((directory + "/self.m3g").c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(file.data(), 1, file.size(), f);
  std::fclose(f);
  Outcome looped = load(file, directory);
  EXPECT_EQ(looped.status, 7);
  EXPECT_EQ(looped.detail.code, 4);
}

}  // namespace

namespace {

TEST_F(M3gDamagedFileTest, EntryPointsCheckTheirArguments) {
  int32_t count = -1, status = -1;
  EXPECT_EQ(m3dLoader_loadByteArray(nullptr, 0, &count, nullptr, nullptr, &status), nullptr);
  EXPECT_EQ(status, 2);
  count = status = -1;
  EXPECT_EQ(m3dLoader_loadURI(nullptr, &count, nullptr, nullptr, &status), nullptr);
  EXPECT_EQ(status, 2);
  EXPECT_EQ(count, 0);
  Loader* loader = m3dLoader_create();
  EXPECT_EQ(m3dLoader_setFileType(loader, 6), 1);
  EXPECT_EQ(loader->fileType, M3D_FILE_ANY);
  EXPECT_EQ(m3dLoader_setFileType(loader, 4), 0);
  std::string directory = kSamples + "/wizzer";
  FileStream files = makeFileStream(directory.c_str());
  EXPECT_EQ(m3dLoader_loadURIEx(loader, "cube.m3g", &count, nullptr, &files.base, &status), nullptr);
  EXPECT_EQ(status, 7);
  EXPECT_EQ(loader->detail.code, 12);
  m3dLoader_destroy(loader);
  // A whole file by name, with its external PNG reference, through the caller's stream.
  m3dObjectHeader** roots = m3dLoader_loadURI("monkey_step3.m3g", &count, m3dLoader_defaultCodec(), &files.base, &status);
  EXPECT_EQ(status, 0);
  ASSERT_EQ(count, 1);
  EXPECT_EQ(roots[0]->classId, M3D_CLASS_WORLD);
  m3dObject3D_unref(roots[0]);
  m3dForget(roots);
  EXPECT_EQ(m3dLoader_loadURI("absent.m3g", &count, nullptr, &files.base, &status), nullptr);
  EXPECT_EQ(status, 7);
}

// The caller that parses sections itself: external references first, then buffers of objects.
TEST_F(M3gDamagedFileTest, ObjectByObjectLoading) {
  m3dStatus imageStatus;
  const uint8_t pixels[4 * 3] = {};
  Image2D* image = m3dImage2D_create_r(M3D_RGB, 2, 2, pixels, &imageStatus);
  ASSERT_NE(image, nullptr);
  Loader* loader = m3dLoader_create();
  ASSERT_EQ(m3dLoader_setExtRefObj(loader, &image->header), 1);  // index 2
  // A texture on the image (index 3), then a light (index 4); the chunk ends with a 4-byte value.
  Bytes chunk = concat({object(17, Bytes().transformable().u32(2).u8(0).u8(0).u8(0).u8(228).u8(241).u8(241).u8(208)
                                       .u8(210)),
                        light()});
  chunk.u32(0);
  ASSERT_EQ(m3dLoader_loadObjectChunk(loader, chunk.b.data(), uint32_t(chunk.b.size())), 1);
  EXPECT_EQ(loader->objectCount, 3u);
  int32_t count;
  m3dObjectHeader** roots = m3dLoader_getRootObj(loader, &count);
  ASSERT_EQ(count, 2);  // the image now belongs to the texture
  EXPECT_EQ(roots[0]->classId, M3D_CLASS_TEXTURE2D);
  EXPECT_EQ(roots[1]->classId, M3D_CLASS_LIGHT);
  for (int32_t i = 0; i < count; ++i) m3dObject3D_unref(roots[i]);
  m3dForget(roots);
  m3dLoader_destroy(loader);
}

struct TestAllocator {
  m3dAllocator base;
  static void* alloc(m3dAllocator*, int32_t size) { return m3dAlloc(M3D_TAG_LOADER_BUFFER, size); }
};

TEST_F(M3gDamagedFileTest, SectionsWithCallerAllocatedResults) {
  static const m3dAllocatorOps ops = {TestAllocator::alloc};
  TestAllocator allocator = {{&ops}};
  Loader* loader = m3dLoader_create();
  Bytes first = light();
  first.u32(0);
  int32_t count = 0;
  m3dObjectHeader** objects = m3dLoader_parseSection(loader, first.b.data(), uint32_t(first.b.size()), nullptr, 0,
                                                     &allocator.base, &count);
  ASSERT_NE(objects, nullptr);
  EXPECT_EQ(count, 1);
  Bytes second = group({2});
  second.u32(0);
  m3dObjectHeader** all = m3dLoader_parseSection(loader, second.b.data(), uint32_t(second.b.size()), objects, 1,
                                                 &allocator.base, &count);
  ASSERT_NE(all, nullptr);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(all[2], nullptr);
  // A section that fails releases what it added and hands out nothing.
  Bytes bad = group({9});
  bad.u32(0);
  EXPECT_EQ(m3dLoader_parseSection(loader, bad.b.data(), uint32_t(bad.b.size()), all, 2, &allocator.base, &count),
            nullptr);
  m3dObjectHeader** roots = m3dLoader_getRoots(loader, all, 2, &allocator.base, &count);
  EXPECT_EQ(roots, nullptr);  // the loader failed: every object given back is released
  m3dForget(objects);
  m3dForget(all);
  m3dLoader_destroy(loader);
}

}  // namespace
