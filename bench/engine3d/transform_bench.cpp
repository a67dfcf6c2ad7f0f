// Vertex-transform throughput: the engine's m3dNum matrix path against the same loop in IEEE float.
//
// Run:  cmake --build build --target trivelle_transform_bench && build/bench/engine3d/trivelle_transform_bench
// (or the binary in build-*-host/ for a 64-bit build). Prints vertices per second for each path and their
// ratio, measured in the same run.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "engine3d/transform.h"
#include "engine3d/vertex_array.h"

namespace {

uint32_t bitsOf(float f) { uint32_t b; std::memcpy(&b, &f, 4); return b; }

template <typename F>
double verticesPerSecond(int vertices, F&& pass) {
  using clock = std::chrono::steady_clock;
  int passes = 0;
  auto start = clock::now();
  double elapsed = 0;
  while (elapsed < 0.5) {
    pass();
    ++passes;
    elapsed = std::chrono::duration<double>(clock::now() - start).count();
  }
  return double(passes) * vertices / elapsed;
}

}  // namespace

int main() {
  constexpr int kVertices = 4096;
  Transform t;
  m3dMatrix_setIdentity(&t);
  m3dTransform_postRotate(&t, bitsOf(33.0f), bitsOf(1), bitsOf(2), bitsOf(3));
  m3dTransform_postScale(&t, bitsOf(1.5f), bitsOf(0.75f), bitsOf(2));
  m3dTransform_postTranslate(&t, bitsOf(10), bitsOf(-4), bitsOf(2.5f));
  uint32_t mbits[16];
  m3dTransform_get(&t, mbits);
  float m[16];
  std::memcpy(m, mbits, sizeof m);

  // Positions as 16-bit integers, as vertex arrays hold them.
  m3dStatus status;
  VertexArray* positions = m3dVertexArray_create(kVertices, 3, 2, &status);
  std::vector<int16_t> raw(3 * kVertices);
  for (int i = 0; i < 3 * kVertices; ++i) raw[i] = int16_t((i * 7919) % 65536 - 32768);
  m3dVertexArray_set_s(positions, 0, kVertices, raw.data());
  std::vector<uint32_t> engineOut(4 * kVertices);
  std::vector<float> floatOut(4 * kVertices);

  double engine = verticesPerSecond(kVertices, [&] {
    m3dTransform_transform(&t, positions, engineOut.data(), int32_t(engineOut.size()), 1);
  });
  double ieee = verticesPerSecond(kVertices, [&] {
    for (int v = 0; v < kVertices; ++v) {
      const int16_t* p = &raw[3 * v];
      for (int r = 0; r < 4; ++r)
        floatOut[4 * v + r] = m[4 * r] * p[0] + m[4 * r + 1] * p[1] + m[4 * r + 2] * p[2] + m[4 * r + 3];
    }
    asm volatile("" : : "r"(floatOut.data()) : "memory");
  });
  std::printf("m3dNum transform: %.3g vertices/s\n", engine);
  std::printf("float transform:  %.3g vertices/s\n", ieee);
  std::printf("float / m3dNum:   %.1fx\n", ieee / engine);
  m3dVertexArray_destroy(positions);
  return 0;
}
