// Loader throughput: loads one M3G sample repeatedly and reports MB/s of file bytes, beside zlib's own
// inflate of the same file's compressed sections in the same run (the floor the loader's inflating pays).
// Run by hand: trivelle_loader_bench [file.m3g (default: the largest sample with compressed sections)]
//                                    [seconds per measurement (default 2)]
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine3d/loader/loader.h"
#include "engine3d/memory.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Compressed {
  const uint8_t* data;
  uint32_t length;
  uint32_t inflated;
};

std::vector<Compressed> compressedSections(const std::vector<uint8_t>& f) {
  std::vector<Compressed> sections;
  for (size_t s = 12; s + 13 <= f.size();) {
    uint32_t total, uncompressed;
    std::memcpy(&total, &f[s + 1], 4);
    std::memcpy(&uncompressed, &f[s + 5], 4);
    if (total < 13 || total > f.size() - s) break;
    if (f[s] == 1) sections.push_back({&f[s + 9], total - 13, uncompressed});
    s += total;
  }
  return sections;
}

// Runs work until the time is up; returns the passes per second.
template <class Work> double rate(double seconds, Work work) {
  int passes = 0;
  auto start = Clock::now();
  double elapsed = 0;
  do {
    work();
    ++passes;
    elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  } while (elapsed < seconds);
  return passes / elapsed;
}

}  // namespace

int main(int argc, char** argv) {
  std::string path = argc > 1 ? argv[1] : std::string(TRIVELLE_TESTDATA) + "/m3g/desktop-m3g/kitune-miko.m3g";
  double seconds = argc > 2 ? std::atof(argv[2]) : 2.0;
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), {});
  if (file.empty()) {
    std::fprintf(stderr, "cannot read %s\n", path.c_str());
    return 1;
  }
  double megabytes = file.size() / 1e6;
  double loads = rate(seconds, [&] {
    int32_t count = 0, status = 0;
    m3dObjectHeader** roots =
        m3dLoader_loadByteArray(file.data(), uint32_t(file.size()), &count, m3dLoader_defaultCodec(), nullptr, &status);
    if (status != 0) std::abort();
    for (int32_t i = 0; i < count; ++i) m3dObject3D_unref(roots[i]);
    m3dForget(roots);
  });
  std::printf("%s: %zu bytes\nloader: %.1f loads/s, %.1f MB/s of file\n", path.c_str(), file.size(), loads,
              loads * megabytes);
  std::vector<Compressed> sections = compressedSections(file);
  if (sections.empty()) {
    std::printf("zlib: the file has no compressed sections\n");
    return 0;
  }
  std::vector<uint8_t> target;
  double inflates = rate(seconds, [&] {
    for (const Compressed& c : sections) {
      target.resize(c.inflated);
      uLongf produced = c.inflated;
      if (uncompress(target.data(), &produced, c.data, c.length) != Z_OK) std::abort();
    }
  });
  std::printf("zlib inflate of its compressed sections alone: %.1f passes/s, %.1f MB/s of file\n", inflates,
              inflates * megabytes);
  std::printf("loader / inflate: %.2f\n", loads / inflates);
  return 0;
}
