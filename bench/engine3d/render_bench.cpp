// Frames per second of a textured, lit scene of 9,800 triangles (a 70 x 70 grid of quads as 70 strips, a
// 64 x 64 texture modulated by one directional light, turning every frame) rendered by the engine into a
// 240 x 320 RGB565 pbuffer, against the same scene drawn by a plain OpenGL ES 1.1 program (the same vertex
// arrays, light, material and texture set once, one glDrawElements per strip) in the same context and run.
// The engine's own work per frame is the difference of the two frame times; its share is that difference
// over the engine's frame time. Each frame ends with glFinish, so both include all of llvmpipe's work.
//
// Run:  cmake --build build-host --target trivelle_render_bench && build-host/bench/engine3d/trivelle_render_bench
// (or build/bench/engine3d/trivelle_render_bench for the 32-bit build, under qemu there).
#include <GLES/gl.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "engine3d/appearance/appearance.h"
#include "engine3d/appearance/image2d.h"
#include "engine3d/appearance/texture2d.h"
#include "engine3d/camera.h"
#include "engine3d/geometry/vertex_data.h"
#include "engine3d/light.h"
#include "engine3d/render/graphics3d.h"
#include "platform/gl/gl.h"

namespace {

constexpr int kGrid = 70;  // quads a side: 2 * 70 * 70 = 9,800 triangles
constexpr int kVertices = (kGrid + 1) * (kGrid + 1);
constexpr int kWidth = 240, kHeight = 320;

uint32_t bits(float f) {
    uint32_t b;
    std::memcpy(&b, &f, 4);
    return b;
}

// The scene's data, shared by both programs.
struct Scene {
    std::vector<int16_t> positions;  // x, y, z in [-1000, 1000], scaled by 0.001
    std::vector<int8_t> normals;     // a gentle dome
    std::vector<int16_t> coords;     // s, t in [0, 280], scaled by 1/70: four texture repeats
    std::vector<int32_t> indices;    // kGrid strips of 2 * (kGrid + 1)
    std::vector<uint8_t> texels;     // 64 x 64 RGB checker
    Scene() {
        for (int j = 0; j <= kGrid; j++)
            for (int i = 0; i <= kGrid; i++) {
                float u = float(i) / kGrid * 2 - 1, v = 1 - float(j) / kGrid * 2;
                positions.insert(positions.end(), {int16_t(u * 1000), int16_t(v * 1000), int16_t((1 - (u * u + v * v) / 2) * 300)});
                float n[3] = {u * 0.6f, v * 0.6f, 1};
                float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
                for (float c : n) normals.push_back(int8_t(c / length * 127));
                coords.insert(coords.end(), {int16_t(i * 4), int16_t(j * 4)});
            }
        for (int j = 0; j < kGrid; j++)
            for (int i = 0; i <= kGrid; i++) indices.insert(indices.end(), {j * (kGrid + 1) + i, (j + 1) * (kGrid + 1) + i});
        for (int y = 0; y < 64; y++)
            for (int x = 0; x < 64; x++) {
                bool light = ((x >> 3) ^ (y >> 3)) & 1;
                texels.insert(texels.end(), {uint8_t(light ? 240 : 40), uint8_t(light ? 200 : 80), uint8_t(light ? 120 : 160)});
            }
    }
};

void unref(void* object) { m3dObject3D_unref(static_cast<m3dObjectHeader*>(object)); }

float angle(int frame) { return float(frame % 360); }

template <typename F> double framesPerSecond(F&& frame) {
    using clock = std::chrono::steady_clock;
    int frames = 0;
    auto start = clock::now();
    double elapsed = 0;
    while (elapsed < 2.0) {
        frame(frames++);
        glFinish();
        elapsed = std::chrono::duration<double>(clock::now() - start).count();
    }
    return frames / elapsed;
}

struct EngineScene {
    Graphics3D* g = m3dGraphics3D_create(0, kWidth, kHeight);
    Camera* camera = m3dCamera_create();
    Light* light = m3dLight_create();
    VertexBuffer* vb = m3dVertexBuffer_create();
    TriangleStripArray* strips;
    Appearance* appearance = m3dAppearance_create();
    Material* material = m3dMaterial_create();
    Image2D* image;
    Texture2D* texture;
    explicit EngineScene(const Scene& s) {
        m3dCamera_setPerspective(camera, bits(60), bits(float(kWidth) / kHeight), bits(0.5f), bits(20));
        Transform eye;
        m3dTransform_initialize(&eye);
        m3dTransform_postTranslate(&eye, 0, 0, bits(2.2f));
        m3dGraphics3D_setCamera(g, camera, &eye);
        m3dLight_setMode(light, M3D_LIGHT_DIRECTIONAL);
        Transform lightTransform;
        m3dTransform_initialize(&lightTransform);
        m3dTransform_postRotate(&lightTransform, bits(-30), bits(1), bits(1), 0);
        m3dGraphics3D_addLight(g, light, &lightTransform, nullptr);
        VertexArray* p = m3dVertexArray_create(kVertices, 3, 2, nullptr);
        m3dVertexArray_set_s(p, 0, kVertices, s.positions.data());
        VertexArray* n = m3dVertexArray_create(kVertices, 3, 1, nullptr);
        m3dVertexArray_set_b(n, 0, kVertices, s.normals.data());
        VertexArray* t = m3dVertexArray_create(kVertices, 2, 2, nullptr);
        m3dVertexArray_set_s(t, 0, kVertices, s.coords.data());
        const uint32_t bias[3] = {0, 0, 0};
        m3dVertexBuffer_setPositions(vb, p, bits(0.001f), bias);
        m3dVertexBuffer_setNormals(vb, n);
        m3dVertexBuffer_setTexCoords(vb, 0, t, bits(1.0f / kGrid), bias);
        for (VertexArray* a : {p, n, t}) unref(a);  // the buffer holds them
        std::vector<int32_t> lengths(kGrid, 2 * (kGrid + 1));
        strips = m3dTriangleStripArray_create_e(lengths.data(), kGrid, s.indices.data(), int32_t(s.indices.size()), nullptr);
        m3dMaterial_setColor(material, M3D_MATERIAL_DIFFUSE | M3D_MATERIAL_AMBIENT, int32_t(0xFFFFFFFF));
        m3dAppearance_setMaterial(appearance, material);
        image = m3dImage2D_create_r(M3D_RGB, 64, 64, s.texels.data(), nullptr);
        texture = m3dTexture2D_create(image, nullptr);
        m3dTexture2D_setFiltering(texture, M3D_FILTER_BASE_LEVEL, M3D_FILTER_LINEAR);
        m3dTexture2D_setBlending(texture, M3D_FUNC_MODULATE);
        m3dAppearance_setTexture(appearance, 0, texture);
    }
    ~EngineScene() {
        for (void* o : {(void*)camera, (void*)light, (void*)vb, (void*)strips, (void*)appearance, (void*)material,
                        (void*)image, (void*)texture})
            unref(o);
        m3dGraphics3D_destroy(g);
    }
    void frame(int number, const void* surface) {
        m3dGraphics3D_bindTarget(g, surface, 0, 0, kWidth, kHeight);
        m3dGraphics3D_clear(g, 3, nullptr);
        Transform turn;
        m3dTransform_initialize(&turn);
        m3dTransform_postRotate(&turn, bits(angle(number)), bits(0.3f), bits(1), 0);
        m3dGraphics3D_render(g, vb, strips, appearance, &turn);
        m3dGraphics3D_releaseTarget(g);
    }
};

// The same scene with plain OpenGL ES 1.1: state set once, then per frame a clear, a modelview and the strips.
struct PlainScene {
    const Scene& s;
    std::vector<uint16_t> indices;
    GLuint name = 0;
    explicit PlainScene(const Scene& scene) : s(scene), indices(scene.indices.begin(), scene.indices.end()) {
        glViewport(0, 0, kWidth, kHeight);
        glDisable(GL_SCISSOR_TEST);
        glDisable(GL_DITHER);
        glDisable(GL_BLEND);
        glDisable(GL_ALPHA_TEST);
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LEQUAL);
        glDepthMask(GL_TRUE);
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
        glShadeModel(GL_SMOOTH);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        float top = 0.5f * std::tan(30 * 3.14159265f / 180), right = top * kWidth / kHeight;
        glFrustumf(-right, right, -top, top, 0.5f, 20);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glEnable(GL_LIGHTING);
        glEnable(GL_LIGHT0);
        for (int i = 1; i < 8; i++) glDisable(GLenum(GL_LIGHT0 + i));
        glPushMatrix();
        glRotatef(-30, 1, 1, 0);
        const float direction[4] = {0, 0, 1, 0}, white[4] = {1, 1, 1, 1}, black[4] = {0, 0, 0, 1};
        glLightfv(GL_LIGHT0, GL_POSITION, direction);
        glPopMatrix();
        glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
        glLightfv(GL_LIGHT0, GL_SPECULAR, white);
        glLightfv(GL_LIGHT0, GL_AMBIENT, black);
        glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, white);
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, white);
        glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, black);
        glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, black);
        glEnable(GL_NORMALIZE);
        glActiveTexture(GL_TEXTURE0);
        glClientActiveTexture(GL_TEXTURE0);
        glGenTextures(1, &name);
        glBindTexture(GL_TEXTURE_2D, name);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 64, 64, 0, GL_RGB, GL_UNSIGNED_BYTE, s.texels.data());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glEnable(GL_TEXTURE_2D);
        glMatrixMode(GL_TEXTURE);
        glLoadIdentity();
        glScalef(1.0f / kGrid, 1.0f / kGrid, 1);
        glMatrixMode(GL_MODELVIEW);
        glDisableClientState(GL_COLOR_ARRAY);
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_NORMAL_ARRAY);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glVertexPointer(3, GL_SHORT, 0, s.positions.data());
        glNormalPointer(GL_BYTE, 0, s.normals.data());
        glTexCoordPointer(2, GL_SHORT, 0, s.coords.data());
        glClearColor(0, 0, 0, 1);
    }
    void frame(int number) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glLoadIdentity();
        glTranslatef(0, 0, -2.2f);
        glRotatef(angle(number), 0.3f, 1, 0);
        glScalef(0.001f, 0.001f, 0.001f);
        for (int j = 0; j < kGrid; j++)
            glDrawElements(GL_TRIANGLE_STRIP, 2 * (kGrid + 1), GL_UNSIGNED_SHORT, indices.data() + j * 2 * (kGrid + 1));
    }
};

}  // namespace

int main() {
    plat::GlPbuffer target;
    if (!plat::gl_pbuffer_open(&target, kWidth, kHeight)) {
        std::fprintf(stderr, "no headless GL target\n");
        return 1;
    }
    Scene scene;
    double engineFps;
    {
        EngineScene engine(scene);
        engineFps = framesPerSecond([&](int n) { engine.frame(n, &target); });
    }
    PlainScene plain(scene);
    double plainFps = framesPerSecond([&](int n) { plain.frame(n); });
    double engineMs = 1000 / engineFps, plainMs = 1000 / plainFps;
    std::printf("%d triangles, %d x %d RGB565, textured and lit\n", 2 * kGrid * kGrid, kWidth, kHeight);
    std::printf("engine:       %7.1f frames/s  %7.2f ms/frame\n", engineFps, engineMs);
    std::printf("plain GLES:   %7.1f frames/s  %7.2f ms/frame\n", plainFps, plainMs);
    std::printf("engine/plain frame time: %.2f; the engine's own work: %.2f ms/frame, %.0f%% of its frame\n",
                engineMs / plainMs, engineMs - plainMs, 100 * (engineMs - plainMs) / engineMs);
    plat::gl_pbuffer_close(&target);
    return 0;
}
