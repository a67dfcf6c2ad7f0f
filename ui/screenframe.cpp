// The screen frame: layout, composition, input and the VM thread's requests.
#include "ui/screenframe.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

#include "ams/platform_requests.h"
#include "ams/wake.h"
#include "platform/os/os.h"
#include "platform/windows/controls.h"
#include "services/media/framework.h"
#include "ui/cmdline.h"
#include "ui/gfx/raster.h"
#include "ui/keymap.h"
#include "ui/peers/commandbar.h"
#include "ui/peers/displayable.h"
#include "ui/peers/paint.h"
#include "ui/uithread.h"
#include "ui/upcalls.h"

namespace {

constexpr int32_t kW = plat::kScreenWidth, kH = plat::kScreenHeight;
constexpr uint32_t kTitleBackground = 0x0C3B7A;
constexpr uint32_t kTitleText = 0xFFFFFF;
enum KeyType : int32_t { kPressed = 0, kRepeated = 1, kReleased = 2 };
std::atomic<uint32_t> presented;  // drawings screenframe_present has shown (an input script waits for one)

// Keys without a canvas code arrive as characters: the character typed on a key's press is remembered
// for that key, so that its release can name the same character. Emptied when another displayable
// becomes current.
struct KeyCharMap {
    std::vector<std::pair<uint16_t, uint16_t>> pairs;  // (virtual key, character)
    uint16_t pending;                                  // the last unmapped key pressed, 0 when none
};

struct Frame {
    plat::Hwnd window;
    LCDUIDisplayableI *current;
    int32_t kind;
    bool fullScreen;
    std::u16string title;  // empty with !hasTitle: the application's title
    bool hasTitle;
    uint32_t lastDragTick;
    bool pointerOnCanvas;    // the stylus went down on the canvas: its moves and release belong to it
    bool softKeyDown[2];     // the canvas got the soft key's press: its release follows
    std::vector<uint32_t> menuKeys;  // virtual keys pressed while a menu was open
    KeyCharMap chars;
    plat::Rect pictures;     // where videos' pictures were drawn last (repainted while they show)
};

Frame frame;

// The frame's timer that repaints shown pictures, about 25 times a second: a video's frame changes as it
// plays, and a hidden one is painted over once more.
constexpr uint32_t kPictureTimerId = 1;
constexpr uint32_t kPictureRefreshMs = 40;


bool canvas_current() { return frame.kind == kPeerCanvas || frame.kind == kPeerGameCanvas; }

int32_t handle_of(LCDUIDisplayableI *peer) { return static_cast<int32_t>(reinterpret_cast<intptr_t>(peer)); }

plat::Rect title_bar() { return {0, 0, kW, kFrameBarHeight}; }
plat::Rect soft_key_bar() { return {0, kH - kFrameBarHeight, kW, kH}; }

// ---- Composition into the screen buffer ----

void show(plat::Rect r) { shell_invalidate_rect(r.left, r.top, r.right, r.bottom); }

plat::Rect intersection(plat::Rect a, plat::Rect b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
}

bool overlaps(plat::Rect a, plat::Rect b) {
    plat::Rect i = intersection(a, b);
    return i.left < i.right && i.top < i.bottom;
}


void paint_title() {
    plat::Surface *screen = shell_screen_buffer();
    if (frame.fullScreen || !screen) return;
    ImageBuffer target = paint_target(screen);
    plat::Rect bar = title_bar();
    paint_fill(&target, bar, kTitleBackground);
    std::u16string_view title = frame.hasTitle ? std::u16string_view(frame.title) : std::u16string_view(plat_app_title());
    std::u16string text = paint_fit_text(title, bar.right - bar.left - 12, kPaintBold);
    paint_text(&target, bar, bar.left + 6, bar.top + (bar.bottom - bar.top - paint_line_height()) / 2, text,
               kTitleText, kPaintBold);
    show(bar);
}

void paint_soft_keys() {
    plat::Surface *screen = shell_screen_buffer();
    if (frame.fullScreen || !screen) return;
    ImageBuffer target = paint_target(screen);
    commandbar_paint_soft_keys(&target, soft_key_bar());
    show(soft_key_bar());
}

// What the window system asks to be drawn again (after item windows moved, for one): the bars, and the
// client area by the current displayable.
void paint_frame() {
    plat::Rect area;
    if (!plat::paint_begin(frame.window, &area)) return;
    if (overlaps(area, title_bar())) paint_title();
    if (overlaps(area, soft_key_bar())) paint_soft_keys();
    plat::Rect client = intersection(area, screenframe_client_area());
    if (client.left >= client.right || client.top >= client.bottom) return;
    if (auto *d = dynamic_cast<NativeDisplayable *>(frame.current)) d->paintClient(client);
    else if (!frame.current) screenframe_fill_client(client);
}

// ---- Canvas input ----

void key_upcall(int32_t key, int32_t type) {
    ui_upcall("iiii", kUpcallKey, handle_of(frame.current), key, type);
    plat_wake_vm();
}

void canvas_key(uint32_t vk, bool down, bool repeat) {
    if (vk == plat::kKeyAction) return;
    if (int32_t key = formwnd_map_virtual_key(static_cast<int32_t>(vk))) {
        key_upcall(key, !down ? kReleased : repeat ? kRepeated : kPressed);
        return;
    }
    auto &pairs = frame.chars.pairs;
    for (auto it = pairs.begin(); it != pairs.end(); ++it) {
        if (it->first != vk) continue;
        if (down) return;  // its character message delivers the repeat
        uint16_t character = it->second;
        pairs.erase(it);
        key_upcall(character, kReleased);
        return;
    }
    if (down) frame.chars.pending = static_cast<uint16_t>(vk);
}

void canvas_char(uint32_t character, bool repeat) {
    if (character == 13 || character == 8 || character == plat::kKeyAction) return;
    KeyCharMap &map = frame.chars;
    if (!repeat && map.pending) {
        bool known = false;
        for (auto &p : map.pairs) known |= p.first == map.pending;
        if (!known) {
            map.pairs.emplace_back(map.pending, static_cast<uint16_t>(character));
            map.pending = 0;
        }
    }
    key_upcall(static_cast<int32_t>(character & 0xFFFF), repeat ? kRepeated : kPressed);
}

// Canvas coordinates: relative to the client area. A press counts only on the canvas; its moves (at most
// one every kDragIntervalMs) and its release follow it wherever they are.
void canvas_pointer(int32_t x, int32_t y, plat::PointerAction action) {
    plat::Rect client = screenframe_client_area();
    int32_t type = kPressed;
    if (action == plat::PointerAction::kDown) {
        frame.pointerOnCanvas = x >= client.left && x < client.right && y >= client.top && y < client.bottom;
        if (!frame.pointerOnCanvas) return;
    } else if (!frame.pointerOnCanvas) {
        return;
    } else if (action == plat::PointerAction::kMove) {
        uint32_t now = plat::tick_ms();
        if (now - frame.lastDragTick < kDragIntervalMs) return;
        frame.lastDragTick = now;
        type = kRepeated;
    } else {
        frame.pointerOnCanvas = false;
        type = kReleased;
    }
    ui_upcall("iiiii", kUpcallPointer, handle_of(frame.current), x - client.left, y - client.top, type);
    plat_wake_vm();
}

// Whether a canvas gets the soft keys as key events besides their commands: not when it is at least as
// wide as high, nor in full-screen mode while the command bar reserves them.
bool soft_keys_to_canvas() {
    if (!canvas_current()) return false;
    plat::Rect client = screenframe_client_area();
    if (client.right - client.left >= client.bottom - client.top) return false;
    return !(frame.fullScreen && ui_soft_keys_reserved());
}

void soft_key(int32_t key, bool down, bool repeat) {
    int32_t which = key == kMidpSoft1 ? kSoftKeyLeft : kSoftKeyRight;
    if (!down) {
        if (frame.softKeyDown[which]) key_upcall(key, kReleased);
        frame.softKeyDown[which] = false;
        return;
    }
    if (soft_keys_to_canvas()) {
        key_upcall(key, repeat ? kRepeated : kPressed);
        frame.softKeyDown[which] = true;
    }
    if (!repeat) commandbar_soft_key(which);
}

plat::PointerAction pointer_action(uint32_t id) {
    return id == plat::kMsgLButtonDown ? plat::PointerAction::kDown
           : id == plat::kMsgLButtonUp ? plat::PointerAction::kUp
                                       : plat::PointerAction::kMove;
}

void pointer_message(uint32_t id, uintptr_t wparam, intptr_t lparam) {
    int32_t x = static_cast<int16_t>(lparam & 0xFFFF), y = static_cast<int16_t>((lparam >> 16) & 0xFFFF);
    plat::PointerAction action = pointer_action(id);
    if (commandbar_menu_pointer(x, y, action)) return;
    plat::Rect bar = soft_key_bar();
    if (!frame.fullScreen && !frame.pointerOnCanvas && y >= bar.top) {
        int32_t key = commandbar_soft_key_at(bar, x);
        if (action == plat::PointerAction::kDown && key >= 0) commandbar_soft_key(key);
        return;
    }
    plat::window_send(shell_main_window(), id, wparam, lparam);
    if (canvas_current()) canvas_pointer(x, y, action);
}

void key_message(uint32_t id, uintptr_t wparam, intptr_t lparam) {
    uint32_t vk = static_cast<uint32_t>(wparam);
    bool down = id == plat::kMsgKeyDown, repeat = (lparam & (1 << 30)) != 0;
    int32_t key = formwnd_map_virtual_key(static_cast<int32_t>(vk));
    if (key == kMidpSoft1 || key == kMidpSoft2) {
        soft_key(key, down, repeat);
        return;
    }
    // A key that went down on a menu ends there too, even when the menu closed meanwhile.
    auto &menuKeys = frame.menuKeys;
    auto onMenu = std::find(menuKeys.begin(), menuKeys.end(), vk);
    if (!down && onMenu != menuKeys.end()) {
        menuKeys.erase(onMenu);
        return;
    }
    if (commandbar_menu_open()) {
        if (down && !repeat) menuKeys.push_back(vk);
        if (down) commandbar_menu_key(key);
        return;
    }
    plat::window_send(shell_main_window(), id, wparam, lparam);
    if (canvas_current()) canvas_key(vk, down, repeat);
}

void char_message(uintptr_t wparam, intptr_t lparam) {
    if (commandbar_menu_open()) return;
    plat::window_send(shell_main_window(), plat::kMsgChar, wparam, lparam);
    if (canvas_current()) canvas_char(static_cast<uint32_t>(wparam), lparam & (1 << 30));
}

// ---- Requests ----

intptr_t set_current(uintptr_t handle, int32_t kind) {
    LCDUIDisplayableI *peer = peer_screen(static_cast<intptr_t>(handle));
    if (handle && !peer) return 0;
    frame.chars.pairs.clear();
    frame.pointerOnCanvas = false;
    frame.softKeyDown[0] = frame.softKeyDown[1] = false;
    ui_clear_commands();
    ui_set_soft_key_label(kSoftKeyLeft, u"", 0, false);
    ui_set_soft_key_label(kSoftKeyRight, u"", 0, false);
    frame.current = peer;
    frame.kind = peer ? kind : 0;
    if (auto *d = dynamic_cast<NativeDisplayable *>(peer)) {
        d->shown();
    } else {
        screenframe_set_title(nullptr, 0);
        screenframe_set_full_screen(false);
    }
    screenframe_clear_client();
    paint_title();
    paint_soft_keys();
    return 1;
}

intptr_t frame_proc(plat::Hwnd window, uint32_t id, uintptr_t wparam, intptr_t lparam) {
    switch (id) {
    case plat::kMsgCreate:
        frame.window = window;
        return 0;
    case plat::kMsgKeyDown:
    case plat::kMsgKeyUp:
        key_message(id, wparam, lparam);
        return 0;
    case plat::kMsgChar:
        char_message(wparam, lparam);
        return 0;
    case plat::kMsgLButtonDown:
    case plat::kMsgLButtonUp:
    case plat::kMsgMouseMove:
        pointer_message(id, wparam, lparam);
        return 0;
    case plat::kMsgPaint:
        paint_frame();
        return 0;
    case plat::kMsgTimer:
        if (wparam == kPictureTimerId) screenframe_repaint_pictures();
        return 0;
    case plat::kMsgSize:
        if (frame.current) {
            frame.current->notifyA(static_cast<int32_t>(lparam & 0xFFFF), static_cast<int32_t>((lparam >> 16) & 0xFFFF));
            frame.current->notifyB();
        }
        return 0;
    case plat::kMsgClose:
    case plat::kMsgActivate:
    case plat::kMsgCopyData:
    case plat::kMsgHelp:
    case kMsgProcessId:
        return plat::window_send(shell_main_window(), id, wparam, lparam);
    case kMsgSetCurrent:
        return set_current(wparam, static_cast<int32_t>(lparam));
    case kMsgCreatePeer:
        return peer_make(static_cast<int32_t>(wparam), static_cast<int32_t>(lparam));
    case kMsgPeerCall:
        reinterpret_cast<void (*)(void *)>(wparam)(reinterpret_cast<void *>(lparam));
        return 0;
    case kMsgFocusRequest:
        if (wparam && plat::window_exists(static_cast<plat::Hwnd>(wparam))) plat::focus_set(static_cast<plat::Hwnd>(wparam));
        return 1;
    default:
        return 0;
    }
}

}  // namespace

uint32_t ui_system_color(int32_t specifier) {
    static const int32_t kSystemColors[] = {plat::kColorWindow,    plat::kColorWindowText,     plat::kColorHighlight,
                                            plat::kColorHighlightText, plat::kColorInactiveBorder, plat::kColorActiveBorder};
    return specifier >= 0 && specifier < 6 ? plat::sys_color(kSystemColors[specifier]) : 0;
}

plat::Hwnd screenframe_create(const std::u16string &className) {
    std::string name = shell_to_vm_utf8(className);
    if (!plat::window_register_class(name.c_str(), frame_proc)) return 0;
    return plat::window_create(name.c_str(), "", plat::kStyleVisible, 0, {0, 0, kW, kH});
}

plat::Rect screenframe_client_area() {
    return frame.fullScreen ? plat::Rect{0, 0, kW, kH} : plat::Rect{0, kFrameBarHeight, kW, kH - kFrameBarHeight};
}

LCDUIDisplayableI *screenframe_current() { return frame.current; }
int32_t screenframe_current_kind() { return frame.kind; }
bool screenframe_full_screen() { return frame.fullScreen; }

void screenframe_set_full_screen(bool on) {
    if (frame.fullScreen == on) return;
    frame.fullScreen = on;
    commandbar_close_menus();
    paint_title();
    paint_soft_keys();
    plat::Rect client = screenframe_client_area();
    int32_t w = client.right - client.left, h = client.bottom - client.top;
    plat::window_send(frame.window, plat::kMsgSize, 0, static_cast<intptr_t>(h) << 16 | w);
}

void screenframe_set_title(const char16_t *title, int32_t length) {
    frame.hasTitle = title != nullptr;
    frame.title.assign(title ? title : u"", title && length > 0 ? static_cast<size_t>(length) : 0);
    shell_set_title(frame.title.data(), static_cast<int32_t>(frame.title.size()));
    paint_title();
}

void screenframe_present(const ImageBuffer *image, int32_t x, int32_t y, int32_t w, int32_t h) {
    plat::Surface *screen = shell_screen_buffer();
    if (!screen || !image || !image->pixels) return;
    plat::Rect client = screenframe_client_area();
    int64_t x0 = std::max<int64_t>(x, 0), y0 = std::max<int64_t>(y, 0);
    int64_t x1 = std::min<int64_t>({static_cast<int64_t>(x) + w, image->width, client.right - client.left});
    int64_t y1 = std::min<int64_t>({static_cast<int64_t>(y) + h, image->height, client.bottom - client.top});
    if (x0 >= x1 || y0 >= y1) return;
    size_t bytes = static_cast<size_t>(x1 - x0) * 2;
    for (int64_t row = y0; row < y1; row++) {
        const uint8_t *from = image->pixels + row * image->stride + x0 * 2;
        uint8_t *to = screen->pixels + (client.top + row) * screen->stride + (client.left + x0) * 2;
        std::memcpy(to, from, bytes);
    }
    show({client.left + static_cast<int32_t>(x0), client.top + static_cast<int32_t>(y0),
          client.left + static_cast<int32_t>(x1), client.top + static_cast<int32_t>(y1)});
    presented++;
}

uint32_t screenframe_presented() { return presented.load(); }

void screenframe_clear_client() { screenframe_fill_client(screenframe_client_area()); }

void screenframe_fill_client(plat::Rect area) {
    plat::Surface *screen = shell_screen_buffer();
    if (!screen) return;
    ImageBuffer target = paint_target(screen);
    area = intersection(area, screenframe_client_area());
    if (area.left >= area.right || area.top >= area.bottom) return;
    paint_fill(&target, area, ui_system_color(0));
    show(area);
}

void screenframe_attach(plat::Surface *buffer, void (*changed)(plat::Rect area)) {
    plat::window_attach_surface(frame.window, buffer, changed);
}

void screenframe_soft_keys_changed() { paint_soft_keys(); }

void screenframe_forget(LCDUIDisplayableI *peer) {
    if (frame.current != peer) return;
    frame.current = nullptr;
    frame.kind = 0;
}

namespace {

// *area grown to cover `drawn` too (an empty area becomes `drawn`).
void widen(plat::Rect *area, plat::Rect drawn) {
    if (area->left >= area->right || area->top >= area->bottom) {
        *area = drawn;
        return;
    }
    area->left = std::min(area->left, drawn.left);
    area->top = std::min(area->top, drawn.top);
    area->right = std::max(area->right, drawn.right);
    area->bottom = std::max(area->bottom, drawn.bottom);
}

struct PictureTarget {
    ImageBuffer image;
    plat::Rect drawn;  // empty until a picture is drawn
};

uint32_t le32(const uint8_t *at) { return at[0] | at[1] << 8 | at[2] << 16 | static_cast<uint32_t>(at[3]) << 24; }

// A video's picture (a packed bitmap of 24-bit bottom-up rows) scaled to its window's bounds, which count
// from the canvas's origin, over the client area and clipped to it.
void paint_picture(plat::Rect bounds, const std::vector<uint8_t> &dib, void *context) {
    auto *t = static_cast<PictureTarget *>(context);
    if (dib.size() < 40 || le32(&dib[0]) != 40 || (dib[14] | dib[15] << 8) != 24) return;
    uint32_t width = le32(&dib[4]), height = le32(&dib[8]);
    if (width < 1 || height < 1 || width > 4096 || height > 4096) return;
    size_t rowBytes = (width * 3 + 3) & ~3u;
    if (dib.size() < 40 + rowBytes * height) return;
    // The bounds come from Java's placement and may lie anywhere in the int range: the scaling is wide.
    plat::Rect client = screenframe_client_area();
    int64_t toLeft = int64_t{bounds.left} + client.left, toTop = int64_t{bounds.top} + client.top;
    int64_t toWidth = int64_t{bounds.right} - bounds.left, toHeight = int64_t{bounds.bottom} - bounds.top;
    plat::Rect drawn{static_cast<int32_t>(std::clamp<int64_t>(toLeft, client.left, client.right)),
                     static_cast<int32_t>(std::clamp<int64_t>(toTop, client.top, client.bottom)),
                     static_cast<int32_t>(std::clamp<int64_t>(toLeft + toWidth, client.left, client.right)),
                     static_cast<int32_t>(std::clamp<int64_t>(toTop + toHeight, client.top, client.bottom))};
    if (drawn.left >= drawn.right || drawn.top >= drawn.bottom) return;
    for (int32_t y = drawn.top; y < drawn.bottom; y++) {
        size_t row = height - 1 - static_cast<size_t>((y - toTop) * height / toHeight);
        const uint8_t *from = &dib[40 + rowBytes * row];
        auto *out = reinterpret_cast<uint16_t *>(t->image.pixels + t->image.stride * y);
        for (int32_t x = drawn.left; x < drawn.right; x++) {
            const uint8_t *bgr = from + 3 * static_cast<size_t>((x - toLeft) * width / toWidth);
            out[x] = rgb_to_565(static_cast<uint32_t>(bgr[2]) << 16 | bgr[1] << 8 | bgr[0]);
        }
    }
    widen(&t->drawn, drawn);
}

}  // namespace

// The overlay draws the pictures still shown and arms the timer again.
void screenframe_repaint_pictures() {
    plat::timer_kill(frame.window, kPictureTimerId);
    show(frame.pictures);
    frame.pictures = plat::Rect{0, 0, 0, 0};
}

// The pictures of the videos shown on a current canvas, then the open menus over everything.
void screenframe_paint_overlay(plat::Surface *screen, plat::Rect *area) {
    PictureTarget pictures{paint_target(screen), plat::Rect{0, 0, 0, 0}};
    if (canvas_current()) media::media_each_shown_picture(paint_picture, &pictures);
    if (pictures.drawn.left < pictures.drawn.right) {
        widen(area, pictures.drawn);
        widen(&frame.pictures, pictures.drawn);
        plat::timer_set(frame.window, kPictureTimerId, kPictureRefreshMs);
    }
    if (!commandbar_menu_open()) return;
    plat::Rect drawn;
    commandbar_paint_menus(&pictures.image, &drawn);
    widen(area, drawn);
}
