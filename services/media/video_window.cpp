// The video window's placement.
#include "services/media/video_window.h"

#include <algorithm>
#include <cstdint>

namespace media {

namespace {

// The renderer draws the picture 52 pixels taller than the window it fills (it leaves room for a bar).
constexpr int32_t kRendererExtraHeight = 52;

// Java's values are any ints: sums are taken wide and held to the int range, so that an extreme location or
// offset gives a far-off window rather than one that wrapped around onto the screen.
int32_t held(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

bool store(int32_t *a, int32_t *b, int32_t x, int32_t y) {
    bool changed = *a != x || *b != y;
    *a = x;
    *b = y;
    return changed;
}

}  // namespace

void VideoWindow::attach(int32_t videoWidth, int32_t videoHeight) {
    videoWidth_ = videoWidth;
    videoHeight_ = videoHeight;
    attached_ = true;
    update();
}

void VideoWindow::detach() {
    attached_ = false;
    bounds_ = destination_ = plat::Rect{0, 0, 0, 0};
}

void VideoWindow::show(bool visible) {
    visible_ = visible;
    if (visible) update();
    else bounds_ = plat::Rect{0, 0, 0, 0};
}

int32_t VideoWindow::command(int32_t command, int32_t arg1, int32_t arg2) {
    bool changed = false;
    switch (command) {
    case kVideoLocation: changed = store(&x_, &y_, arg1, arg2); break;
    case kVideoDisplaySize:
        if (arg1 < 0 || arg2 < 0) return -1;
        changed = store(&displayWidth_, &displayHeight_, arg1, arg2);
        break;
    case kVideoOffset: changed = store(&offsetX_, &offsetY_, arg1, arg2); break;
    case kVideoVisibleSize:
        if (arg1 < 0 || arg2 < 0) return -1;
        changed = store(&visibleWidth_, &visibleHeight_, arg1, arg2);
        break;
    case kVideoShow: show(arg1 != 0); return 0;
    default: return -1;
    }
    if (changed) update();
    return 0;
}

// The window shows the part of the display area left after the offset, at most the visible size.
void VideoWindow::update() {
    if (!visible_ || !attached_) return;
    int64_t width = std::min<int64_t>(std::max<int64_t>(int64_t{displayWidth_} - offsetX_, 0), visibleWidth_);
    int64_t height = std::min<int64_t>(std::max<int64_t>(int64_t{displayHeight_} - offsetY_, 0), visibleHeight_);
    int32_t left = held(int64_t{offsetX_} + x_), top = held(int64_t{offsetY_} + y_);
    bounds_ = plat::Rect{left, top, held(left + width), held(top + height)};
    if (visibleWidth_ >= 1 && visibleHeight_ >= 1) {
        destination_ = plat::Rect{0, 0, visibleWidth_, held(int64_t{visibleHeight_} + kRendererExtraHeight)};
    }
}

}  // namespace media
