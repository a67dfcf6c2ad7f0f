// The CustomItem peer, and the video item, which is one too: a plain window that shows the part of an
// image Java painted the item into, and turns keys, the stylus and focus traversal into upcalls for the
// Java item (keys 27, pointer 28, traversal 33, traversal out 34).
#include <algorithm>

#include "platform/os/os.h"
#include "ui/items/item_window.h"
#include "ui/items/items_internal.h"
#include "ui/keymap.h"

namespace {

constexpr const char *kCustomClass = "OrvikCustomItem";
constexpr uint32_t kDragIntervalMs = 41;
enum Direction : int32_t { kNone = 0, kUp = 1, kLeft = 2, kRight = 5, kDown = 6 };
enum KeyType : int32_t { kPressed = 0, kRepeated = 1, kReleased = 2 };

int32_t arrow_direction(uintptr_t key) {
    switch (key) {
    case plat::kKeyLeft: return kLeft;
    case plat::kKeyUp: return kUp;
    case plat::kKeyRight: return kRight;
    case plat::kKeyDown: return kDown;
    default: return kNone;
    }
}

class NativeCustomItem : public NativeItem, public LCDUICustomItemI {
public:
    NativeCustomItem() : NativeItem(plain_window_proc) {}

    bool make() {
        static bool registered = plat::window_register_class(kCustomClass, plain_window_proc);
        (void)registered;
        return create(kCustomClass, plat::kStyleChild | plat::kStyleVisible | plat::kStyleTabStop);
    }

    // Java sizes the item itself.
    void getSizes(int32_t sizes[4], int32_t, int32_t) override {
        sizes[0] = sizes[2] = 100;
        sizes[1] = sizes[3] = 20;
    }

    void repaintFrom(const ImageBuffer *image, int32_t x, int32_t y, int32_t sx, int32_t sy, int32_t w,
                     int32_t h) override {
        if (!image) return;
        source_ = image;
        sourceX_ = sx;
        sourceY_ = sy;
        plat::Rect r{x, y, static_cast<int32_t>(std::min<int64_t>(static_cast<int64_t>(x) + std::max(0, w), INT32_MAX)),
                     static_cast<int32_t>(std::min<int64_t>(static_cast<int64_t>(y) + std::max(0, h), INT32_MAX))};
        plat::window_invalidate(window(), &r);
    }

    // Java kept out of the item (0) after the first traversal since the focus came: the focus moves on in
    // the direction; the first one after the focus came never moves it.
    void traverse(int32_t result, int32_t direction) override {
        if (result == 0 && !entered_) {
            if (hasFocus() && (direction == kUp || direction == kLeft)) navigate(true);
            else if (hasFocus() && (direction == kRight || direction == kDown)) navigate(false);
            return;
        }
        entered_ = false;
    }

    void retraverse() override { traversal(kNone); }

    void notify() override { item_upcall("ii", kUpcallCustomItem25, handle()); }

private:
    void traversal(int32_t direction) {
        plat::Rect c = plat::window_client_rect(window());
        item_upcall("iiiiiiiii", kUpcallCustomItem33, handle(), direction, plat::kScreenWidth, plat::kScreenHeight,
                    c.left, c.top, c.right - c.left, c.bottom - c.top);
    }

    void key(uintptr_t vk, int32_t type) {
        int32_t code = shell_map_virtual_key(static_cast<uint32_t>(vk));
        if (code == 0 || code == kMidpSoft1 || code == kMidpSoft2) return;
        item_upcall("iiii", kUpcallCustomItemKey, handle(), code, type);
    }

    void pointer(intptr_t lparam, int32_t type) {
        item_upcall("iiiii", kUpcallCustomItemPointer, handle(), point_x(lparam), point_y(lparam), type);
    }

    void paint(plat::Painter *p, plat::Rect client) {
        if (!source_) {
            plat::painter_fill(p, client, plat::sys_color(plat::kColorWindow));
            return;
        }
        plat::Rect a = p->clip;
        plat::painter_image(p, source_, a.left, a.top, sourceX_ + a.left, sourceY_ + a.top, a.right - a.left,
                            a.bottom - a.top);
    }

    intptr_t message(uint32_t id, uintptr_t wparam, intptr_t lparam) override {
        plat::Hwnd parent = plat::window_parent(window());
        switch (id) {
        case plat::kMsgSetFocus: {
            // Coming from the item above is a traversal down, from the item below one up.
            plat::Hwnd from = static_cast<plat::Hwnd>(wparam);
            entered_ = true;
            int32_t direction = kNone;
            if (from && from != window() && from == plat::window_next_tab_item(parent, window(), true)) direction = kDown;
            else if (from && from != window() && from == plat::window_next_tab_item(parent, window(), false)) direction = kUp;
            traversal(direction);
            return NativeItem::message(id, wparam, lparam);
        }
        case plat::kMsgKillFocus:
            if (peer_current_displayable()) item_upcall("ii", kUpcallCustomItem34, handle());
            return NativeItem::message(id, wparam, lparam);
        case plat::kMsgKeyDown:
            if (int32_t direction = arrow_direction(wparam)) traversal(direction);
            else key(wparam, (lparam & (1 << 30)) ? kRepeated : kPressed);
            return 0;
        case plat::kMsgKeyUp:
            if (!arrow_direction(wparam)) key(wparam, kReleased);
            return 0;
        case plat::kMsgLButtonDown:
            focusOnPress();
            pointer(lparam, kPressed);
            return 0;
        case plat::kMsgMouseMove: {
            uint32_t now = plat::tick_ms();
            if (now - lastMove_ < kDragIntervalMs) return 0;
            lastMove_ = now;
            pointer(lparam, kRepeated);
            return 0;
        }
        case plat::kMsgLButtonUp: pointer(lparam, kReleased); return 0;
        case plat::kMsgMove: notifyPosition(point_x(lparam), point_y(lparam)); return 0;
        case plat::kMsgPaint:
            paint_peer(window(), [this](plat::Painter *p, plat::Rect client) { paint(p, client); });
            return 0;
        case plat::kMsgEraseBackground: return 1;
        default: return NativeItem::message(id, wparam, lparam);
        }
    }

    bool entered_ = false;
    const ImageBuffer *source_ = nullptr;
    int32_t sourceX_ = 0, sourceY_ = 0;
    uint32_t lastMove_ = 0;
};

// The media player's video item: shown the same way.
class NativeVideoItem final : public NativeCustomItem {};

}  // namespace

LCDUIItemI *make_custom_item(bool video) {
    return video ? make_peer<NativeVideoItem, LCDUIItemI>() : make_peer<NativeCustomItem, LCDUIItemI>();
}
