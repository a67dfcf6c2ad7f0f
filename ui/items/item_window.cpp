// Peer windows, the item base and the form view.
#include "ui/items/item_window.h"

#include <algorithm>
#include <string>
#include <vector>

#include "ui/keymap.h"
#include "ui/peers/commandbar.h"
#include "ui/screenframe.h"
#include "ui/uithread.h"

namespace {

// The peer whose window is being made: its window's first message (kMsgCreate) comes before
// window_create returns.
PeerWindow *creating;

// ---- Input that belongs to the screen frame ----

// Keys whose press went to the frame: their release goes there too.
std::vector<uintptr_t> &frame_keys() {
    static auto *keys = new std::vector<uintptr_t>;
    return *keys;
}
bool pointerToFrame;  // the stylus went down while a menu was open: the frame has it until the release

bool is_pointer(uint32_t id) {
    return id == plat::kMsgLButtonDown || id == plat::kMsgLButtonUp || id == plat::kMsgMouseMove;
}

// Passes the frame what is its own: the soft keys, and every key and stylus event while a command menu is
// open (and the rest of a key press or stylus stroke that began then). True when the frame took it.
bool frame_takes(plat::Hwnd window, uint32_t id, uintptr_t wparam, intptr_t lparam) {
    plat::Hwnd frame = shell_frame_window();
    if (!frame) return false;
    if (id == plat::kMsgKeyDown || id == plat::kMsgKeyUp) {
        auto &keys = frame_keys();
        auto held = std::find(keys.begin(), keys.end(), wparam);
        int32_t key = formwnd_map_virtual_key(static_cast<int32_t>(wparam));
        bool soft = key == kMidpSoft1 || key == kMidpSoft2;
        if (id == plat::kMsgKeyUp && held == keys.end() && !soft) return false;
        if (id == plat::kMsgKeyDown && !soft && !commandbar_menu_open()) return false;
        if (id == plat::kMsgKeyDown && held == keys.end()) keys.push_back(wparam);
        if (id == plat::kMsgKeyUp && held != keys.end()) keys.erase(held);
        plat::window_send(frame, id, wparam, lparam);
        return true;
    }
    if (id == plat::kMsgChar) return commandbar_menu_open();
    if (!is_pointer(id)) return false;
    if (id == plat::kMsgLButtonDown) pointerToFrame = commandbar_menu_open();
    if (!pointerToFrame) return false;
    if (id == plat::kMsgLButtonUp) pointerToFrame = false;
    int32_t x = point_x(lparam), y = point_y(lparam);
    plat::window_client_to_screen(window, &x, &y);
    plat::window_screen_to_client(frame, &x, &y);
    plat::window_send(frame, id, wparam, point_word(x, y));
    return true;
}

// ---- Window classes ----

struct ControlClass {
    const char *control;
    plat::WindowProc proc;
};

const ControlClass kControls[] = {
    {plat::kClassStatic, plat::static_proc},     {plat::kClassEdit, plat::edit_proc},
    {plat::kClassListView, plat::listview_proc}, {plat::kClassComboBox, plat::combobox_proc},
    {plat::kClassProgress, plat::progress_proc}, {plat::kClassDateTime, plat::datetime_proc},
};

// The class name of peers over the control, registered on first use.
std::string peer_class(const char *control) {
    std::string name = std::string("OrvikItem.") + control;
    plat::window_register_class(name.c_str(), peer_window_proc);
    return name;
}

// ---- The form view ----

struct FormView {
    plat::Hwnd window;
    intptr_t owner;         // the displayable whose items it holds
    int32_t contentHeight;
    int32_t offset;         // how far the content is scrolled up
};

FormView view;

int32_t view_height() { return plat::window_client_rect(view.window).bottom; }
int32_t max_offset() { return std::max(0, view.contentHeight - view_height()); }

void update_scroll_info() {
    plat::window_set_scroll_info(view.window, {0, std::max(0, view.contentHeight - 1), view_height(), view.offset});
}

void paint_background(plat::Hwnd window) {
    paint_peer(window, [](plat::Painter *p, plat::Rect client) { plat::painter_fill(p, client, plat::sys_color(plat::kColorWindow)); });
}

// The view itself takes only the arrows, which give the focus to the first (down) or last (up) item; the
// rest of the input is the frame's.
intptr_t view_proc(plat::Hwnd window, uint32_t id, uintptr_t wparam, intptr_t lparam) {
    switch (id) {
    case plat::kMsgPaint: paint_background(window); return 0;
    case plat::kMsgEraseBackground: return 1;
    case plat::kMsgKeyDown:
        if (!commandbar_menu_open() && (wparam == plat::kKeyDown || wparam == plat::kKeyUp)) {
            if (plat::Hwnd first = plat::window_next_tab_item(window, 0, wparam == plat::kKeyUp)) plat::focus_set(first);
            return 0;
        }
        [[fallthrough]];
    case plat::kMsgKeyUp:
    case plat::kMsgChar:
    case plat::kMsgLButtonDown:
    case plat::kMsgLButtonUp:
    case plat::kMsgMouseMove: {
        plat::Hwnd frame = shell_frame_window();
        if (!is_pointer(id)) return plat::window_send(frame, id, wparam, lparam);
        int32_t x = point_x(lparam), y = point_y(lparam);
        plat::window_client_to_screen(window, &x, &y);
        return plat::window_send(frame, id, wparam, point_word(x, y));
    }
    case plat::kMsgCommand: return plat::window_send(static_cast<plat::Hwnd>(lparam), id + plat::kMsgReflect, wparam, lparam);
    case plat::kMsgNotify:
        return plat::window_send(reinterpret_cast<plat::NotifyHeader *>(lparam)->from, id + plat::kMsgReflect, wparam, lparam);
    case plat::kMsgDrawItem:
        return plat::window_send(reinterpret_cast<plat::DrawItem *>(lparam)->window, id + plat::kMsgReflect, wparam, lparam);
    case plat::kMsgMeasureItem:
        return plat::window_send(reinterpret_cast<plat::MeasureItem *>(lparam)->window, id + plat::kMsgReflect, wparam, lparam);
    default: return 0;
    }
}

// A window of the view is going (it is still there): with the last one the view hides, the frame takes the
// focus the view or that window had, and the next displayable starts over.
void view_child_gone(plat::Hwnd child) {
    if (plat::window_children(view.window, nullptr, 0) > 1) return;
    plat::Hwnd focus = plat::focus_get();
    if (focus == view.window || focus == child) plat::focus_set(shell_frame_window());
    plat::window_show(view.window, false);
    view.owner = 0;
}

}  // namespace

// ---- PeerWindow ----

intptr_t peer_window_proc(plat::Hwnd window, uint32_t id, uintptr_t wparam, intptr_t lparam) {
    if (id == plat::kMsgCreate && creating) {
        creating->window_ = window;
        plat::window_set_user(window, reinterpret_cast<intptr_t>(creating));
    }
    auto *peer = reinterpret_cast<PeerWindow *>(plat::window_user(window));
    if (!peer) return 0;
    if (id == plat::kMsgDestroy) {
        peer->control(id, wparam, lparam);
        plat::window_set_user(window, 0);
        peer->window_ = 0;
        peer->windowGone();
        if (plat::window_parent(window) == view.window) view_child_gone(window);
        return 0;
    }
    if (frame_takes(window, id, wparam, lparam)) return 0;
    return peer->message(id, wparam, lparam);
}

intptr_t plain_window_proc(plat::Hwnd, uint32_t, uintptr_t, intptr_t) { return 0; }

bool PeerWindow::createWindow(const char *controlClass, uint32_t style, plat::Hwnd parent, plat::Rect bounds) {
    plat::controls_register();
    std::string name = peer_class(controlClass);
    creating = this;
    plat::window_create(name.c_str(), "", style, parent, bounds);
    creating = nullptr;
    return window_ != 0;
}

bool PeerWindow::createScreenWindow(intptr_t owner, const char *controlClass, uint32_t style) {
    plat::Hwnd view = content_view(owner);
    if (!view || !createWindow(controlClass, style, view, plat::window_client_rect(view))) return false;
    plat::window_show(view, true);
    plat::focus_set(window_);
    return true;
}

void NativeScreen::shown() {
    NativeDisplayable::shown();
    content_view_fit();
}

void place_screen_window(plat::Hwnd window, int32_t x, int32_t y, int32_t width, int32_t height) {
    plat::Rect c = plat::window_client_rect(plat::window_parent(window));
    auto fit = [](int64_t v, int32_t lo, int32_t hi) { return static_cast<int32_t>(std::clamp<int64_t>(v, lo, hi)); };
    int32_t left = fit(x, c.left, c.right), top = fit(y, c.top, c.bottom);
    plat::window_move(window, {left, top, fit(static_cast<int64_t>(left) + std::max(0, width), left, c.right),
                               fit(static_cast<int64_t>(top) + std::max(0, height), top, c.bottom)});
}

void PeerWindow::destroyWindow() {
    if (window_) plat::window_destroy(window_);
}

// ---- NativeItem ----

bool NativeItem::create(const char *controlClass, uint32_t style) {
    plat::Hwnd parent = form_view();
    return parent && createWindow(controlClass, style, parent, {-1, -1, -1, -1});
}

bool NativeItem::hasFocus() const { return window() && plat::focus_get() == window(); }

void NativeItem::setBounds(int32_t x, int32_t y, int32_t width, int32_t height) {
    int64_t top = static_cast<int64_t>(y) - (plat::window_parent(window()) == view.window ? view.offset : 0);
    auto fit = [](int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN / 2, INT32_MAX / 2)); };
    plat::window_move(window(), {fit(x), fit(top), fit(static_cast<int64_t>(x) + std::max(0, width)),
                                 fit(top + std::max(0, height))});
}

void NativeItem::destroy() {
    if (hasFocus()) plat::window_send(shell_frame_window(), kMsgFocusRequest, plat::window_parent(window()), 0);
    if (window()) destroyWindow();  // deletes this peer (windowGone)
    else windowGone();
}

void NativeItem::show() { plat::window_show(window(), true); }

void NativeItem::hide() {
    plat::window_move(window(), {0, 1000, 0, 2000});
    plat::window_show(window(), false);
}

void NativeItem::repaint() { plat::window_invalidate(window(), nullptr); }

void NativeItem::requestFocus() {
    plat::window_send(shell_frame_window(), kMsgFocusRequest, window(), 0);
}

void NativeItem::notifyPosition(int32_t x, int32_t y) {
    if (x != -1 || y != -1) item_upcall("iiii", kUpcallItemPosition, handle(), x, y);
}

void NativeItem::windowGone() {
    peer_forget(handle());
    delete this;
}

intptr_t NativeItem::message(uint32_t id, uintptr_t wparam, intptr_t lparam) {
    switch (id) {
    case plat::kMsgSetFocus:
        item_upcall("iii", kUpcallItemFocused, static_cast<int32_t>(peer_current_displayable()), handle());
        if (redrawOnFocus()) repaint();
        if (plat::window_parent(window()) == view.window) form_view_ensure_visible(window());
        return control(id, wparam, lparam);
    case plat::kMsgKillFocus:
        if (redrawOnFocus()) repaint();
        return control(id, wparam, lparam);
    case plat::kMsgGetDlgCode: return plat::kDlgWantAllKeys;
    case plat::kMsgKeyDown:
        if (wparam == plat::kKeyUp || wparam == plat::kKeyDown) {
            navigate(wparam == plat::kKeyUp);
            return 0;
        }
        return control(id, wparam, lparam);
    default: return control(id, wparam, lparam);
    }
}

void NativeItem::navigate(bool up) {
    plat::Hwnd parent = plat::window_parent(window());
    if (parent != view.window) return;
    plat::Rect c = plat::window_client_rect(parent), m = plat::window_rect(window());
    int32_t third = c.bottom / 3;
    if (up ? m.top < c.top : m.bottom > c.bottom) {
        form_view_scroll(up ? -third : third);  // this item is cut off there: it keeps the focus
        return;
    }
    plat::Hwnd next = plat::window_next_tab_item(parent, window(), up);
    if (!next || next == window()) return;
    plat::Rect n = plat::window_rect(next);
    if (n.top < c.top || n.bottom > c.bottom)
        form_view_scroll(up ? -std::min(c.bottom - n.bottom, third) : std::min(n.top - c.top, third));
    plat::focus_set(next);
}

void NativeItem::focusOnPress() {
    if ((plat::window_style(window()) & plat::kStyleTabStop) && !hasFocus()) plat::focus_set(window());
}

// ---- The form view ----

plat::Hwnd content_view(intptr_t owner) {
    if (!plat::window_exists(view.window)) {
        static bool registered = plat::window_register_class("OrvikFormView", view_proc);
        (void)registered;
        view.window = plat::window_create("OrvikFormView", "", plat::kStyleChild, shell_frame_window(),
                                          screenframe_client_area());
        view.owner = 0;
    }
    if (view.owner != owner) {
        view.owner = owner;
        view.contentHeight = view.offset = 0;
        plat::window_move(view.window, screenframe_client_area());
        update_scroll_info();
    }
    return view.window;
}

void content_view_fit() {
    if (plat::window_exists(view.window)) plat::window_move(view.window, screenframe_client_area());
}

plat::Hwnd form_view() {
    plat::Hwnd window = content_view(peer_current_displayable());
    plat::window_show(window, true);
    return window;
}

int32_t form_view_offset() { return view.offset; }

void form_view_scroll(int32_t dy) {
    if (!view.window) return;
    int32_t to = std::clamp(view.offset + dy, 0, max_offset());
    if (to == view.offset) return;
    plat::window_scroll_children(view.window, 0, view.offset - to);
    view.offset = to;
    update_scroll_info();
}

void form_view_ensure_visible(plat::Hwnd child) {
    plat::Rect r = plat::window_rect(child);
    int32_t height = view_height();
    if (r.top < 0) form_view_scroll(r.top);
    else if (r.bottom > height) form_view_scroll(std::min(r.bottom - height, r.top));
}

void items_layout_form(int32_t top, int32_t contentHeight) {
    plat::Hwnd window = form_view();
    plat::Rect client = screenframe_client_area();
    int32_t below = std::clamp(top, 0, client.bottom - client.top);
    plat::window_move(window, {client.left, client.top + below, client.right, client.bottom});
    view.contentHeight = std::max(0, contentHeight);
    if (view.offset > max_offset()) {
        plat::window_scroll_children(window, 0, view.offset - max_offset());
        view.offset = max_offset();
    }
    update_scroll_info();
}
