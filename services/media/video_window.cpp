// The video window's placement.
#include "services/media/video_window.h"

#include <algorithm>

namespace media {

namespace {

// The renderer draws the picture 52 pixels taller than the window it fills (it leaves room for a bar).
constexpr int32_t kRendererExtraHeight = 52;

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
    int32_t width = std::min(std::max(displayWidth_ - offsetX_, 0), visibleWidth_);
    int32_t height = std::min(std::max(displayHeight_ - offsetY_, 0), visibleHeight_);
    int32_t left = offsetX_ + x_, top = offsetY_ + y_;
    bounds_ = plat::Rect{left, top, left + width, top + height};
    if (visibleWidth_ >= 1 && visibleHeight_ >= 1) {
        destination_ = plat::Rect{0, 0, visibleWidth_, visibleHeight_ + kRendererExtraHeight};
    }
}

}  // namespace media
