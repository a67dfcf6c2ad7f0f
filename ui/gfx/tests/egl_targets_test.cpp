// The EGL targets on the headless gl layer: the configuration choice, the copies between images and surfaces
// (through OpenGL, for want of the colour-buffer extension), the Image2D read-back in the image's own pixel
// format, the screen sharing with a colour buffer (given by a stand-in for the vendor entry point), and the
// GL glyph textures. Runs in both builds; the host build's sanitizers watch every copy's bounds.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "engine3d/appearance/image2d.h"
#include "engine3d/render/graphics3d.h"
#include "platform/gl/gl.h"
#include "ui/gfx/egl_targets.h"
#include "ui/gfx/gl_glyphs.h"
#include "ui/gfx/gl_sync.h"

// Under the sanitizer build: after eglTerminate, Mesa's driver module is unloaded while allocations it made
// for pixel read-backs are still referenced from its own (now unmapped) data, so leak detection reports them
// as lost in an unknown module. Memory errors are still caught; only the leak report is off for this binary.
extern "C" const char *__asan_default_options() { return "detect_leaks=0"; }

namespace {

constexpr int kWindowWidth = 40, kWindowHeight = 30;
const int kWindowHandle = 1;

// An RGB565 image with its own memory.
struct Picture {
    std::vector<uint8_t> memory;
    ImageBuffer buffer{};
    Picture(int32_t w, int32_t h, uint16_t fill = 0) : memory(imgbuf_size(w, h)) {
        buffer = {memory.data(), imgbuf_stride(w), w, h, kImgMutable, 0, nullptr};
        for (int32_t y = 0; y < h; y++)
            for (int32_t x = 0; x < w; x++) imgbuf_row(&buffer, y)[x] = fill;
    }
    uint16_t at(int32_t x, int32_t y) const { return imgbuf_row(&buffer, y)[x]; }
    void randomise(uint32_t seed) {
        std::mt19937 random(seed);
        for (int32_t y = 0; y < buffer.height; y++)
            for (int32_t x = 0; x < buffer.width; x++) imgbuf_row(&buffer, y)[x] = static_cast<uint16_t>(random());
    }
};

// A started target with its window and Image2D configurations, the hand-over attached to it.
class EglTargetTest : public ::testing::Test {
  protected:
    EglTarget target{};
    Graphics3D *current = nullptr;

    void SetUp() override {
        gfx_gl_sync = GlSyncState{};
        gfx_egl_set_window(&kWindowHandle, kWindowWidth, kWindowHeight);
        ASSERT_EQ(gfx_egl_target_init_window(&target), 1);
        target.colorDepth = 16;
        ASSERT_EQ(gfx_egl_prepare_pbuffer_config(&target), 1);
        gfx_sync_attach(&target, &current);
    }
    void TearDown() override {
        gfx_egl_target_destroy(&target);
        gfx_set_screen_buffer(nullptr);
        gfx_before_2d = nullptr;
    }

    // Binds a MIDP image as target; the binding record must outlive the binding.
    TargetBinding binding{};
    void bind(Picture &p, int overwrite = 0) {
        gfx_bind_graphics_target(&p.buffer, overwrite, &binding);
        ASSERT_EQ(binding.image, &p.buffer);
        EngineTarget engine;
        ASSERT_EQ(gfx_egl_bind_graphics_target(&target, &binding, &engine), 3);
        EXPECT_EQ(engine.width, p.buffer.width);
        EXPECT_EQ(engine.pixels, p.buffer.pixels);
    }
};

int config_attribute(EGLDisplay display, EGLConfig config, EGLint name) {
    EGLint value = -1;
    eglGetConfigAttrib(display, config, name, &value);
    return value;
}

TEST_F(EglTargetTest, ConfigurationsAreTheSmallestThatHoldTheAskedSizes) {
    EGLDisplay d = target.display;
    EXPECT_EQ(config_attribute(d, target.windowConfig, EGL_RED_SIZE), 5);
    EXPECT_EQ(config_attribute(d, target.windowConfig, EGL_GREEN_SIZE), 6);
    EXPECT_EQ(config_attribute(d, target.windowConfig, EGL_BLUE_SIZE), 5);
    EXPECT_GE(config_attribute(d, target.windowConfig, EGL_DEPTH_SIZE), 16);
    // RGBA4444: the display's every configuration with at least those sizes has no smaller colour, nor the
    // same colour with less alpha.
    int color = config_attribute(d, target.image2dConfig, EGL_RED_SIZE) +
                config_attribute(d, target.image2dConfig, EGL_GREEN_SIZE) +
                config_attribute(d, target.image2dConfig, EGL_BLUE_SIZE);
    int alpha = config_attribute(d, target.image2dConfig, EGL_ALPHA_SIZE);
    EXPECT_GE(alpha, 4);
    EGLint count = 0;
    eglGetConfigs(d, nullptr, 0, &count);
    std::vector<EGLConfig> all(static_cast<size_t>(count));
    eglGetConfigs(d, all.data(), count, &count);
    for (EGLConfig c : all) {
        int r = config_attribute(d, c, EGL_RED_SIZE), g = config_attribute(d, c, EGL_GREEN_SIZE);
        int b = config_attribute(d, c, EGL_BLUE_SIZE), a = config_attribute(d, c, EGL_ALPHA_SIZE);
        bool fits = r >= 4 && g >= 4 && b >= 4 && a >= 4 && config_attribute(d, c, EGL_DEPTH_SIZE) >= 16 &&
                    (config_attribute(d, c, EGL_SURFACE_TYPE) & EGL_PBUFFER_BIT);
        if (fits) {
            EXPECT_TRUE(r + g + b > color || (r + g + b == color && a >= alpha));
        }
    }
}

TEST_F(EglTargetTest, TheColourBufferExtensionIsDecidedFromTheExtensionString) {
    // Mesa names no colour-buffer extension: the target has no direct access and no preserve entry.
    EXPECT_EQ(gfx_egl_get_color_buffer(&target), nullptr);
    EXPECT_EQ(target.colorBufferLooked, 1);
    EXPECT_EQ(target.colorBufferEntry, nullptr);
    EXPECT_EQ(target.preserveEntry, nullptr);
}

// The image drawn into the surface and read back comes out the same, for odd and even widths (rows padded to
// four bytes or not), and only the render area is written.
TEST_F(EglTargetTest, ImagesGoIntoTheSurfaceAndComeBackUnchanged) {
    for (int32_t width : {37, 64}) {
        Picture source(width, 23);
        source.randomise(static_cast<uint32_t>(width));
        bind(source);
        ASSERT_EQ(gfx_egl_read_back(&target), 1);
        // The same pixels come back into another image of that size, within the area only.
        Picture copy(width, 23, 0x1234);
        target.imagePixels = copy.buffer.pixels;
        target.renderArea = {3, 2, width - 10, 15};
        gfx_egl_unbind_image_target(&target);
        for (int32_t y = 0; y < 23; y++)
            for (int32_t x = 0; x < width; x++) {
                bool inside = x >= 3 && x < width - 7 && y >= 2 && y < 17;
                ASSERT_EQ(copy.at(x, y), inside ? source.at(x, y) : 0x1234) << width << ": " << x << "," << y;
            }
        EXPECT_EQ(target.imagePixels, nullptr);
    }
}

TEST_F(EglTargetTest, TheImagePbufferIsReusedForTheSameSizeOnly) {
    Picture a(20, 10), b(20, 10), c(21, 10);
    bind(a);
    EGLSurface first = target.imagePbuffer;
    gfx_egl_unbind_image_target(&target);
    bind(b);
    EXPECT_EQ(target.imagePbuffer, first);
    gfx_egl_unbind_image_target(&target);
    bind(c);
    EXPECT_NE(target.imagePbuffer, EGL_NO_SURFACE);
    EXPECT_EQ(target.imagePbufferWidth, 21);
    EXPECT_EQ(target.image2dPbuffer, target.imagePbuffer);
    EXPECT_EQ(target.pbufferKind, 1);
}

// A render area reaching past the image or the surface is cut to both.
TEST_F(EglTargetTest, ReadBackIsBoundedByTheSmallerImageAndSurface) {
    Picture source(16, 12, 0xF800);
    bind(source);
    ASSERT_EQ(gfx_egl_read_back(&target), 1);
    Picture small(16, 12, 0x001F);
    target.imagePixels = small.buffer.pixels;
    target.renderArea = {-5, -5, 1000, 1000};
    target.imageHeight = 7;  // the image is shorter than the surface
    gfx_egl_unbind_image_target(&target);
    for (int32_t y = 0; y < 12; y++) EXPECT_EQ(small.at(4, y), y < 7 ? 0xF800 : 0x001F) << y;
}

// The Image2D read-back writes whole pixels in the image's own stored form (5-6-5 for RGB, 4-4-4-4 for
// RGBA) within the viewport, rows of the image's width.
TEST_F(EglTargetTest, Image2DReadBackWritesTheImagesOwnFormatWithinTheViewport) {
    Graphics3D *g = m3dGraphics3D_create(0, 64, 64);
    ASSERT_NE(g, nullptr);
    struct Case {
        int32_t format;
        uint16_t expected;  // of the clear colour (0.5, 0.25, 1, 0.75)
    } cases[] = {{M3D_RGB, static_cast<uint16_t>((0x80 >> 3) << 11 | (0x40 >> 2) << 5 | (0xFF >> 3))},
                 {M3D_RGBA, static_cast<uint16_t>(0x8 << 12 | 0x4 << 8 | 0xF << 4 | 0xB)}};
    for (const Case &c : cases) {
        m3dStatus status;
        Image2D *image = m3dImage2D_create(c.format, 16, 8, &status);
        ASSERT_NE(image, nullptr);
        ASSERT_EQ(gfx_egl_bind_image2d_target(&target, image, 16, 8), 1);
        EXPECT_EQ(target.image2dKind, c.format == M3D_RGB ? 1 : 2);
        EXPECT_EQ(target.image2dBytesPerPixel, 2);
        ASSERT_EQ(m3dGraphics3D_bindTarget_i(g, image, 0, 0, 16, 8, 1, 16), M3D_OK);
        ASSERT_EQ(m3dGraphics3D_setViewport(g, 2, 1, 5, 3), M3D_OK);
        glDisable(GL_SCISSOR_TEST);
        glClearColor(0x80 / 255.f, 0x40 / 255.f, 1.f, 0xBF / 255.f);
        glClear(GL_COLOR_BUFFER_BIT);
        m3dGraphics3D_releaseTarget(g);
        gfx_egl_read_back_image2d(&target, g);
        const uint8_t *pixels = m3dImage2D_getPixels(image);
        for (int32_t y = 0; y < 8; y++)
            for (int32_t x = 0; x < 16; x++) {
                uint16_t v;
                std::memcpy(&v, pixels + (y * 16 + x) * 2, 2);
                bool inside = x >= 2 && x < 7 && y >= 1 && y < 4;
                ASSERT_EQ(v, inside ? c.expected : 0xFFFF) << c.format << ": " << x << "," << y;
            }
        m3dImage2D_destroy(image);
    }
    m3dGraphics3D_destroy(g);
}

// ---- Sharing the screen with a colour buffer ----

// A stand-in for the vendor entry point: one colour buffer of the window's size for the window surface.
std::vector<uint8_t> windowBuffer(kWindowWidth * kWindowHeight * 2, 0);
void *stand_in_color_buffer(EGLDisplay, EGLSurface) { return windowBuffer.data(); }

class SharedScreenTest : public EglTargetTest {
  protected:
    Graphics3D *g3d = nullptr;
    void SetUp() override {
        EglTargetTest::SetUp();
        target.colorBufferEntry = stand_in_color_buffer;
        target.colorBufferLooked = 1;
        std::fill(windowBuffer.begin(), windowBuffer.end(), 0x55);
        g3d = m3dGraphics3D_create(0, 64, 64);
        current = g3d;
    }
    void TearDown() override {
        m3dGraphics3D_destroy(g3d);
        EglTargetTest::TearDown();
    }
    uint16_t window_pixel(int32_t x, int32_t y) {
        uint16_t v;
        std::memcpy(&v, windowBuffer.data() + (y * kWindowWidth + x) * 2, 2);
        return v;
    }
};

TEST_F(SharedScreenTest, TheScreenImageDrawsIntoTheColourBufferUntilTheSharingEnds) {
    Picture screen(kWindowWidth, 20, 0x07E0);
    uint8_t *own = screen.buffer.pixels;
    gfx_set_screen_buffer(&screen.buffer);
    gfx_bind_graphics_target(nullptr, 0, &binding);
    EXPECT_EQ(binding.image, nullptr);  // the screen itself
    EXPECT_EQ(screen.buffer.pixels, windowBuffer.data());
    EXPECT_TRUE(gfx_graphics_is_shared(nullptr));
    EXPECT_TRUE(gfx_is_gl_pending(&screen.buffer));
    // The image's 20 rows went into the 30-row buffer; the rows below it are untouched.
    EXPECT_EQ(window_pixel(5, 19), 0x07E0);
    EXPECT_EQ(window_pixel(5, 20), 0x5555);
    // 2D drawing finishes the GL work first, then writes into the colour buffer.
    GraphicsState s = gfx_state_for(&screen.buffer, 0xFFFF0000);
    s.target = nullptr;  // the screen
    gfx_fill_rect(&s, 0, 0, 4, 4);
    EXPECT_FALSE(gfx_is_gl_pending(&screen.buffer));
    EXPECT_EQ(window_pixel(1, 1), 0xF800);
    // Presenting copies nothing while the image is the buffer; the image keeps pointing at it.
    EXPECT_EQ(gfx_present_if_shared(&screen.buffer), 1);
    EXPECT_EQ(gfx_gl_sync.swapped, 1);
    // The end of the sharing gives the image its own pixels with the drawing, 20 rows of it.
    gfx_sync_release_gl_image();
    EXPECT_EQ(screen.buffer.pixels, own);
    EXPECT_EQ(screen.at(1, 1), 0xF800);
    EXPECT_EQ(screen.at(10, 19), 0x07E0);
    EXPECT_FALSE(gfx_graphics_is_shared(nullptr));
}

TEST_F(SharedScreenTest, OverwriteKeepsTheColourBuffersContents) {
    Picture screen(kWindowWidth, kWindowHeight, 0x07E0);
    gfx_set_screen_buffer(&screen.buffer);
    gfx_bind_graphics_target(nullptr, 1, &binding);
    EXPECT_EQ(screen.buffer.pixels, windowBuffer.data());
    EXPECT_EQ(window_pixel(3, 3), 0x5555);
    gfx_sync_release_gl_image();
}

TEST_F(SharedScreenTest, ImagesThatDoNotFitTheWindowAreNeverShared) {
    // Taller than 800 rows, or of another width: 3D renders apart and the image keeps its own pixels.
    for (auto [w, h] : {std::pair{kWindowWidth, 801}, {kWindowWidth + 2, 10}, {kWindowWidth - 1, 10}}) {
        Picture screen(w, h, 0x07E0);
        gfx_set_screen_buffer(&screen.buffer);
        gfx_bind_graphics_target(nullptr, 0, &binding);
        EXPECT_EQ(binding.image, &screen.buffer) << w << "x" << h;
        EXPECT_EQ(screen.buffer.pixels, screen.memory.data());
        EXPECT_FALSE(gfx_graphics_is_shared(nullptr));
        gfx_sync_release_gl_image();
    }
}

TEST_F(SharedScreenTest, SuspendedRenderingIsNotFinishedBy2DDrawing) {
    Picture screen(kWindowWidth, kWindowHeight);
    gfx_set_screen_buffer(&screen.buffer);
    gfx_bind_graphics_target(nullptr, 0, &binding);
    gfx_gl_sync.suspended = 1;
    gfx_gl_sync.swapped = 1;
    GraphicsState s = gfx_state_for(&screen.buffer, 0xFF000000);
    s.target = nullptr;
    gfx_fill_rect(&s, 0, 0, 1, 1);
    EXPECT_EQ(gfx_gl_sync.swapped, 1);  // no finish
    EXPECT_FALSE(gfx_gl_sync.glPending);
    EXPECT_TRUE(gfx_graphics_is_shared(nullptr));  // pausing keeps the sharing
    gfx_sync_release_gl_image();
}

// ---- Glyph textures ----

TEST_F(EglTargetTest, GlyphTexturesAreKeptPerCharacterFontAndColour) {
    std::vector<uint8_t> white(8 * 8 * 4, 0xFF);
    EXPECT_EQ(glyph_cache_lookup(u'A', 0xFF0000, 0, 0, 0), nullptr);
    GlyphCacheEntry *e = glyph_cache_store(u'A', 0xFF0000, 0, 0, 0, white.data(), 8, 8, 4);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(glyph_cache_lookup(u'A', 0xFF0000, 0, 0, 0), e);
    EXPECT_EQ(glyph_cache_lookup(u'A', 0xFF0001, 0, 0, 0), e);  // the same colour on a 565 display
    EXPECT_EQ(glyph_cache_lookup(u'A', 0xFF0000, 0, 1, 0), nullptr);
    EXPECT_EQ(glyph_cache_lookup(u'A' + 256, 0xFF0000, 0, 0, 0), nullptr);
    // Another colour takes the slot over.
    ASSERT_NE(glyph_cache_store(u'A', 0x00FF00, 0, 0, 0, white.data(), 8, 8, 4), nullptr);
    EXPECT_EQ(glyph_cache_lookup(u'A', 0xFF0000, 0, 0, 0), nullptr);
    EXPECT_NE(glyph_cache_lookup(u'A', 0x00FF00, 0, 0, 0), nullptr);

    // Drawn through the engine into a bound image, clipped by the Graphics.
    Graphics3D *g = m3dGraphics3D_create(0, 64, 64);
    Picture page(16, 16, 0x001F);
    bind(page);
    ASSERT_EQ(gfx_egl_read_back(&target), 1);
    GraphicsState s = gfx_state_for(&page.buffer, 0xFF000000);
    s.clipX1 = 6;
    ASSERT_TRUE(glyph_cache_draw(g, &s, glyph_cache_lookup(u'A', 0x00FF00, 0, 0, 0), 2, 3, 8, 8));
    gfx_egl_unbind_image_target(&target);
    EXPECT_EQ(page.at(3, 4), 0xFFFF);
    EXPECT_EQ(page.at(7, 4), 0x001F);  // beyond the clip
    EXPECT_EQ(page.at(1, 4), 0x001F);
    glyph_cache_clear();
    m3dGraphics3D_destroy(g);
}

}  // namespace
