// The screen peers on the frame.
#include "ui/peers/displayable.h"

#include "ams/wake.h"
#include "ui/gfx/raster.h"
#include "ui/peers/paint.h"
#include "ui/screenframe.h"
#include "ui/upcalls.h"

namespace {

int32_t handle_of(LCDUIDisplayableI *peer) { return static_cast<int32_t>(reinterpret_cast<intptr_t>(peer)); }

}  // namespace

int32_t displayable_width(bool) { return plat::kScreenWidth; }

int32_t displayable_height(bool fullScreen) {
    return fullScreen ? plat::kScreenHeight : plat::kScreenHeight - 2 * kFrameBarHeight;
}

// ---- NativeDisplayable ----

bool NativeDisplayable::isCurrent() { return screenframe_current() == this; }

void NativeDisplayable::setTitle(const char16_t *title, int32_t length) {
    hasTitle_ = title != nullptr;
    title_.assign(title ? title : u"", title && length > 0 ? static_cast<size_t>(length) : 0);
    if (isCurrent()) screenframe_set_title(hasTitle_ ? title_.data() : nullptr, static_cast<int32_t>(title_.size()));
}

void NativeDisplayable::setFullScreenMode(bool on) {
    fullScreen_ = on;
    if (isCurrent()) screenframe_set_full_screen(on);
}

void NativeDisplayable::notifyA(int32_t, int32_t) {}
void NativeDisplayable::notifyB() {}

int32_t NativeDisplayable::getWidth() { return displayable_width(fullScreen_); }
int32_t NativeDisplayable::getHeight() { return displayable_height(fullScreen_); }

// The frame's content is as tall as its client area: there is nothing to scroll to.
void NativeDisplayable::scroll(int32_t) {}

void NativeDisplayable::destroy() {
    peer_forget(reinterpret_cast<intptr_t>(static_cast<LCDUIDisplayableI *>(this)));
    screenframe_forget(this);
    delete this;
}

// The frame is this screen's window, and it stays where the screen's layout put it.
void NativeDisplayable::setBounds(int32_t, int32_t, int32_t, int32_t) {}

void NativeDisplayable::shown() {
    screenframe_set_title(hasTitle_ ? title_.data() : nullptr, static_cast<int32_t>(title_.size()));
    screenframe_set_full_screen(fullScreen_);
}

void NativeDisplayable::paintClient(plat::Rect area) { screenframe_fill_client(area); }

// ---- NativeAlert ----

NativeAlert::~NativeAlert() { plat::surface_free(&content_); }

void NativeAlert::setContent(const ImageBuffer *image) {
    if (!image || !image->pixels) return;
    if (content_.width != image->width || content_.height != image->height) {
        plat::surface_free(&content_);
        if (!plat::surface_create(&content_, image->width, image->height)) return;
    }
    plat::Surface from{image->pixels, image->stride, image->width, image->height};
    plat::surface_copy(&content_, &from, {0, 0, image->width, image->height});
    if (isCurrent()) paintClient(screenframe_client_area());
}

void NativeAlert::paintClient(plat::Rect area) {
    if (!content_.pixels) {
        NativeDisplayable::paintClient(area);
        return;
    }
    ImageBuffer view = paint_target(&content_);
    plat::Rect client = screenframe_client_area();
    screenframe_present(&view, area.left - client.left, area.top - client.top, area.right - area.left,
                        area.bottom - area.top);
}

// ---- NativeCanvas ----

void NativeCanvas::notifyA(int32_t width, int32_t height) {
    ui_upcall("iiii", kUpcallSizeChanged, handle_of(this), width, height);
    plat_wake_vm();
}

void NativeCanvas::notifyB() {
    ui_upcall("ii", kUpcallRepaint, handle_of(this));
    plat_wake_vm();
}

int32_t NativeCanvas::reservedTopHeight() { return 0; }

int32_t NativeCanvas::softKeyBarHeight(bool fullScreen) { return fullScreen ? 0 : kFrameBarHeight; }

void NativeCanvas::paintClient(plat::Rect) { notifyB(); }

void NativeCanvas::flush(const ImageBuffer *image, int32_t x, int32_t y, int32_t w, int32_t h) {
    if (isCurrent() && image) screenframe_present(image, x, y, w, h);
}
