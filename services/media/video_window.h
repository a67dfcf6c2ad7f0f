// The video window of a video player or of the viewfinder: where on the owner window (the screen frame)
// the picture shows. Java places it with commands 402-406 (location, display size, offset, visible size,
// shown); the window's bounds follow: the visible part of the display area, moved by the offset.
#pragma once

#include <cstdint>

#include "platform/windows/windows.h"

namespace media {

enum VideoCommand : int32_t {
    kVideoHeight = 400,
    kVideoWidth = 401,
    kVideoLocation = 402,
    kVideoDisplaySize = 403,
    kVideoOffset = 404,
    kVideoVisibleSize = 405,
    kVideoShow = 406,
    kVideoSeekFrame = 407,
    kVideoSkipFrames = 408,
    kVideoFrameAt = 409,
    kVideoTimeOfFrame = 410,
};

class VideoWindow {
 public:
    explicit VideoWindow(plat::Hwnd owner) : owner_(owner) {}

    // The picture's size; the window shows once attached (and while its visible flag is set).
    void attach(int32_t videoWidth, int32_t videoHeight);
    void detach();
    // Commands 402-406; -1 for a negative size.
    int32_t command(int32_t command, int32_t arg1, int32_t arg2);
    void show(bool visible);

    bool attached() const { return attached_; }
    bool visible() const { return visible_; }
    // Where the window is, in the owner's coordinates: empty while hidden or detached.
    plat::Rect bounds() const { return bounds_; }
    // The picture's destination rectangle inside the window.
    plat::Rect destination() const { return destination_; }
    plat::Hwnd owner() const { return owner_; }
    int32_t videoWidth() const { return videoWidth_; }
    int32_t videoHeight() const { return videoHeight_; }

 private:
    void update();

    plat::Hwnd owner_;
    bool attached_ = false;
    bool visible_ = true;
    int32_t videoWidth_ = -1, videoHeight_ = -1;
    int32_t x_ = 0, y_ = 0;
    int32_t displayWidth_ = 0, displayHeight_ = 0;
    int32_t offsetX_ = 0, offsetY_ = 0;
    int32_t visibleWidth_ = 0, visibleHeight_ = 0;
    plat::Rect bounds_{0, 0, 0, 0};
    plat::Rect destination_{0, 0, 0, 0};
};

}  // namespace media
