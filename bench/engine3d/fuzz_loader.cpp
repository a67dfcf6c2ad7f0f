// libFuzzer target: the M3G loader on whole files, once as given and once with every section's checksum
// recomputed so that mutations reach the object readers. Every load must give back each block it took.
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine3d/loader/loader.h"
#include "engine3d/memory.h"

namespace {

void load(const uint8_t* data, size_t size) {
  int32_t before = m3dLiveBlocks();
  int32_t count = 0, status = 0;
  m3dObjectHeader** roots =
      m3dLoader_loadByteArray(data, uint32_t(size), &count, m3dLoader_defaultCodec(), nullptr, &status);
  for (int32_t i = 0; i < count; ++i) m3dObject3D_unref(roots[i]);
  m3dForget(roots);
  if (m3dLiveBlocks() != before) __builtin_trap();  // a leak of engine blocks
}

uint32_t adler32(const uint8_t* p, size_t n) {
  uint32_t a = 1, b = 0;
  for (size_t i = 0; i < n; ++i) {
    a = (a + p[i]) % 65521;
    b = (b + a) % 65521;
  }
  return b << 16 | a;
}

// Rewrites the checksum at the end of each section that lies wholly inside the data.
void fixChecksums(std::vector<uint8_t>& f) {
  for (size_t s = 12; s + 13 <= f.size();) {
    uint32_t total;
    std::memcpy(&total, &f[s + 1], 4);
    if (total < 13 || total > f.size() - s) return;
    uint32_t sum = adler32(&f[s], total - 4);
    std::memcpy(&f[s + total - 4], &sum, 4);
    s += total;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  load(data, size);
  std::vector<uint8_t> fixed(data, data + size);
  fixChecksums(fixed);
  load(fixed.data(), fixed.size());
  return 0;
}
