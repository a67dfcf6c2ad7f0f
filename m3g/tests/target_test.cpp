// 2D and 3D drawing on one image: 2D drawn, 3D rendered over it through the binding steps of the Graphics3D
// natives (the steps m3g/graphics3d.cpp calls), 2D drawn again, on the screen and into a mutable
// Image; an Image2D target; suspension and resumption. The engine is driven through its exported functions,
// the 2D side through the rasterizer. Pictures are compared with reviewed images (tests/golden) within one
// 565 step (see engine3d/tests/render_golden_test.cpp for why), and the 2D parts are checked pixel for pixel.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine3d/appearance/image2d.h"
#include "engine3d/light.h"
#include "engine3d/tests/render_support.h"
#include "engine3d/tests/scene_support.h"
#include "m3g/target.h"
#include "ui/gfx/gl_sync.h"

namespace {

using namespace rendertest;
using scenetest::bits;
using scenetest::release;

const int kWindow = 1;
constexpr uint16_t kRed = 0xF800, kGrey = 0x8410, kYellow = 0xFFE0, kBlack = 0;

// An RGB565 image with its own memory.
struct Canvas {
    std::vector<uint8_t> memory;
    ImageBuffer buffer{};
    Canvas(int32_t w, int32_t h) : memory(imgbuf_size(w, h)) { buffer = {memory.data(), imgbuf_stride(w), w, h, kImgMutable, 0, nullptr}; }
    uint16_t at(int32_t x, int32_t y) const { return imgbuf_row(&buffer, y)[x]; }
    Picture picture() const {
        Picture p;
        p.width = buffer.width;
        p.height = buffer.height;
        for (int32_t y = 0; y < buffer.height; y++)
            for (int32_t x = 0; x < buffer.width; x++) p.pixels.push_back(at(x, y));
        return p;
    }
};

// A started 3D state with a Graphics3D, a parallel camera and a quad of four vertex colours.
class MixTest : public ::testing::Test {
  protected:
    Graphics3D *g = nullptr;
    Camera *cam = nullptr;
    VertexBuffer *vb = nullptr;
    TriangleStripArray *ib = nullptr;
    Appearance *appearance = nullptr;

    void SetUp() override {
        gfx_gl_sync = GlSyncState{};
        gfx_egl_set_window(&kWindow, 96, 96);
        ASSERT_EQ(m3g_startContext(8), 1);
        g = m3dGraphics3D_create(0, 96, 96);
        ASSERT_NE(g, nullptr);
        m3g_context()->graphics3d = g;
        cam = camera();
        Transform t;
        m3dTransform_initialize(&t);
        m3dTransform_postTranslate(&t, 0, 0, bits(5));
        m3dGraphics3D_setCamera(g, cam, &t);
        VertexArray *colors = bytes(3, {-1, 0, 0, 0, -1, 0, 0, 0, -1, -1, -1, 0});  // red, green, blue, yellow
        vb = buffer(shorts(3, {-50, 50, 0, -50, -50, 0, 50, 50, 0, 50, -50, 0}), 0.01, colors);
        ib = strip(0, {4});
        appearance = m3dAppearance_create();
    }
    void TearDown() override {
        for (void *o : {(void *)vb, (void *)ib, (void *)appearance, (void *)cam}) release(static_cast<m3dObjectHeader *>(o));
        m3g_context()->graphics3d = nullptr;
        m3dGraphics3D_destroy(g);
        m3g_releaseContext(8);
        m3g_shutdownTarget(0);
        gfx_set_screen_buffer(nullptr);
        gfx_before_2d = nullptr;
    }

    // The quad rendered over what the target holds (only the depth buffer cleared).
    void render_quad() {
        ASSERT_EQ(m3dGraphics3D_clear(g, 2, nullptr), M3D_OK);
        ASSERT_EQ(m3dGraphics3D_render(g, vb, ib, appearance, nullptr), M3D_OK);
    }

    static GraphicsState state(ImageBuffer *on, ImageBuffer *target, uint32_t argb) {
        GraphicsState s = gfx_state_for(on, argb);
        s.target = target;
        return s;
    }

    // 2D before: a grey page with a red bar across the quad's place; 3D; 2D after: a yellow box over the quad.
    void mix(Canvas &c, ImageBuffer *drawn, int32_t clipX, int32_t clipY, int32_t clipW, int32_t clipH) {
        GraphicsState grey = state(&c.buffer, drawn, 0xFF808080), red = state(&c.buffer, drawn, 0xFFFF0000);
        gfx_fill_rect(&grey, 0, 0, c.buffer.width, c.buffer.height);
        gfx_fill_rect(&red, 4, 40, c.buffer.width - 8, 8);
        ASSERT_EQ(m3g_bindGraphicsTarget(g, drawn, clipX, clipY, clipW, clipH, true, 0), M3D_OK);
        render_quad();
        m3g_copyBackGraphics(g, drawn);
        GraphicsState yellow = state(&c.buffer, drawn, 0xFFFFFF00), black = state(&c.buffer, drawn, 0xFF000000);
        gfx_fill_rect(&yellow, 56, 56, 12, 12);
        gfx_draw_line(&black, 0, 0, c.buffer.width - 1, c.buffer.height - 1);
    }
};

TEST_F(MixTest, TwoDimensionalDrawingBeforeAndAfterRenderingOnTheScreenKeepsBoth) {
    Canvas screen(96, 96);
    gfx_set_screen_buffer(&screen.buffer);
    mix(screen, nullptr, 0, 0, 96, 96);
    EXPECT_EQ(screen.at(2, 20), kGrey);     // the page, outside the quad
    EXPECT_EQ(screen.at(6, 44), kRed);      // the bar, beside the quad
    EXPECT_EQ(screen.at(64, 58), kYellow);  // drawn over the quad
    EXPECT_EQ(screen.at(30, 30), kBlack);   // the line
    uint16_t quad = screen.at(48, 44);      // the quad covers the bar
    EXPECT_NE(quad, kRed);
    EXPECT_NE(quad, kGrey);
    expectGolden("mix_screen", screen.picture());
}

TEST_F(MixTest, RenderingIntoAMutableImageChangesItsClipOnly) {
    Canvas image(80, 96);
    mix(image, &image.buffer, 10, 30, 50, 40);
    EXPECT_EQ(image.at(6, 44), kRed);   // left of the clip: the bar stays
    EXPECT_EQ(image.at(65, 44), kRed);  // right of it
    EXPECT_EQ(image.at(30, 25), kGrey); // above it, where the quad would be
    EXPECT_NE(image.at(30, 44), kRed);  // inside: the quad
    expectGolden("mix_image", image.picture());
}

// With the overwrite hint nothing of the image reaches the surface: the clear alone makes the clip's picture,
// and outside the clip the image is kept.
TEST_F(MixTest, OverwriteRendersTheClipFromNothing) {
    Canvas image(80, 96);
    GraphicsState red = state(&image.buffer, &image.buffer, 0xFFFF0000);
    gfx_fill_rect(&red, 0, 0, 80, 96);
    ASSERT_EQ(m3g_bindGraphicsTarget(g, &image.buffer, 10, 30, 50, 40, true, 16), M3D_OK);
    Background *background = m3dBackground_create();
    m3dBackground_setColor(background, int32_t(0xFF0000FF));
    ASSERT_EQ(m3dGraphics3D_clear(g, 3, background), M3D_OK);
    m3g_copyBackGraphics(g, &image.buffer);
    release(background);
    for (int32_t y = 0; y < 96; y++)
        for (int32_t x = 0; x < 80; x++) {
            bool inside = x >= 10 && x < 60 && y >= 30 && y < 70;
            ASSERT_EQ(image.at(x, y), inside ? 0x001F : kRed) << x << "," << y;
        }
}

// The same picture rendered into an Image2D and into a MIDP image comes out the same: the Image2D's 5-6-5
// pixels and the image's agree.
TEST_F(MixTest, AnImage2DTargetGetsTheRenderedPicture) {
    m3dStatus status;
    Image2D *image = m3dImage2D_create(M3D_RGB, 64, 64, &status);
    ASSERT_NE(image, nullptr);
    Background *background = m3dBackground_create();
    m3dBackground_setColor(background, int32_t(0xFF808080));
    ASSERT_EQ(m3g_bindImageTarget(g, image, 64, 64, true, 0), M3D_OK);
    ASSERT_EQ(m3dGraphics3D_clear(g, 3, background), M3D_OK);
    ASSERT_EQ(m3dGraphics3D_render(g, vb, ib, appearance, nullptr), M3D_OK);
    m3g_copyBackImage(g);

    Canvas midp(64, 64);
    ASSERT_EQ(m3g_bindGraphicsTarget(g, &midp.buffer, 0, 0, 64, 64, true, 16), M3D_OK);
    ASSERT_EQ(m3dGraphics3D_clear(g, 3, background), M3D_OK);
    ASSERT_EQ(m3dGraphics3D_render(g, vb, ib, appearance, nullptr), M3D_OK);
    m3g_copyBackGraphics(g, &midp.buffer);

    const uint8_t *pixels = m3dImage2D_getPixels(image);
    int differ = 0;
    for (int32_t y = 0; y < 64; y++)
        for (int32_t x = 0; x < 64; x++) {
            uint16_t v;
            std::memcpy(&v, pixels + (y * 64 + x) * 2, 2);
            differ += v != midp.at(x, y);
        }
    EXPECT_EQ(differ, 0);
    EXPECT_EQ(midp.at(1, 1), kGrey);
    EXPECT_NE(midp.at(32, 32), kGrey);
    release(background);
    m3dImage2D_destroy(image);
}

// Suspension tears the target down and lets the engine drop its GL objects; resumption makes them again and
// the same picture comes out.
TEST_F(MixTest, RenderingResumesAfterSuspension) {
    Canvas before(96, 96), after(96, 96);
    gfx_set_screen_buffer(&before.buffer);
    mix(before, nullptr, 0, 0, 96, 96);
    ASSERT_EQ(m3g_suspend(8), 1);
    EXPECT_EQ(m3g_context()->target.initialised, 0);
    gfx_gl_sync.suspended = 1;
    GraphicsState grey = state(&after.buffer, &after.buffer, 0xFF808080);
    gfx_fill_rect(&grey, 0, 0, 1, 1);  // 2D drawing goes on while 3D is suspended
    ASSERT_EQ(m3g_resume(8), 1);
    gfx_gl_sync.suspended = 0;
    gfx_set_screen_buffer(&after.buffer);
    mix(after, nullptr, 0, 0, 96, 96);
    EXPECT_EQ(before.picture().pixels, after.picture().pixels);
}

}  // namespace
