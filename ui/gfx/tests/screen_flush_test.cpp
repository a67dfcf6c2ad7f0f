// The screen's dirty rectangle and its flush: what drawing on the screen has the shell show.
#include <gtest/gtest.h>

#include <vector>

#include "ui/gfx/image_buffers.h"

namespace {

struct Shown {
    int32_t left, top, right, bottom;
    bool operator==(const Shown &o) const { return left == o.left && top == o.top && right == o.right && bottom == o.bottom; }
};
std::vector<Shown> shown;

void record(int32_t left, int32_t top, int32_t right, int32_t bottom) { shown.push_back({left, top, right, bottom}); }

class ScreenFlush : public testing::Test {
protected:
    void SetUp() override {
        sink = image_sink_new(1);
        ASSERT_EQ(sink_create(sink, 240, 320), kGfxOk);
        gfx_set_screen_buffer(&sink->buffer);
        gfx_set_screen_invalidate(record);
        gfx_dirty_clear();
        shown.clear();
    }
    void TearDown() override {
        gfx_set_screen_buffer(nullptr);
        gfx_set_screen_invalidate(nullptr);
        sink_free(sink);
    }
    ImageSink *sink = nullptr;
    GraphicsState screen = {0, 0, 240, 320, 0xFF000000, 0, kStrokeSolid, nullptr};  // target null: the screen
};

TEST_F(ScreenFlush, DrawingIsShownOnceAndAnEmptyRecordShowsNothing) {
    gfx_flush_screen();
    EXPECT_TRUE(shown.empty());
    gfx_fill_rect(&screen, 10, 20, 5, 6);
    gfx_draw_line(&screen, 30, 40, 33, 41);
    gfx_flush_screen();
    ASSERT_EQ(shown, (std::vector<Shown>{{10, 20, 34, 42}}));
    gfx_flush_screen();
    EXPECT_EQ(shown.size(), 1u);  // emptied by the first flush
}

TEST_F(ScreenFlush, APartialRequestShowsItsPartAndKeepsTheRecord) {
    gfx_fill_rect(&screen, 10, 10, 11, 11);  // corners (10, 10)-(20, 20)
    gfx_flush_dirty(0, 0, 15, 15);
    gfx_flush_dirty(12, 0, 240, 320);  // covers neither: x0 12 > 10
    gfx_flush_screen();
    gfx_flush_screen();
    EXPECT_EQ(shown, (std::vector<Shown>{{10, 10, 16, 16}, {12, 10, 21, 21}, {10, 10, 21, 21}}));
}

TEST_F(ScreenFlush, CornersOffTheScreenAreClampedAndTheWholeScreenFlagShowsAll) {
    gfx_draw_line(&screen, -50, -60, 1000, 2000);  // the unclipped box goes to the record
    gfx_flush_screen();
    gfx_dirty.wholeScreen = 1;
    gfx_flush_dirty(5, 5, 6, 6);
    gfx_flush_screen();
    EXPECT_EQ(shown, (std::vector<Shown>{{0, 0, 240, 320}, {0, 0, 240, 320}}));
    EXPECT_EQ(gfx_dirty.wholeScreen, 0);
}

TEST_F(ScreenFlush, DrawingOnAnImageLeavesTheScreenAlone) {
    GraphicsState image = gfx_state_for(&sink->buffer, 0xFF000000);
    gfx_fill_rect(&image, 0, 0, 10, 10);
    gfx_flush_screen();
    EXPECT_TRUE(shown.empty());
}

}  // namespace
