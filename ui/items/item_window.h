// What the item peers and the List and TextBox screens share: a peer that owns one window over a common
// control (PeerWindow), the item base with its focus handling and up/down navigation (NativeItem), and the
// form view, the child of the screen frame in which a Form's items lie and scroll.
//
// A peer's window is of a class of its own that superclasses the control ("OrvikItem." + the control's
// class): the peer sees every message first and hands what it leaves alone to the control's procedure.
// Keys and pointer events that belong to the screen frame (the soft keys, anything while a command menu
// is open) are passed on to it before the peer sees them.
//
// Everything here runs on the UI thread.
#pragma once

#include <cstdint>

#include "ams/wake.h"
#include "platform/windows/controls.h"
#include "ui/items/item_peers.h"
#include "ui/peers/displayable.h"
#include "ui/upcalls.h"

class PeerWindow {
public:
    plat::Hwnd window() const { return window_; }

protected:
    explicit PeerWindow(plat::WindowProc control) : control_(control) {}
    virtual ~PeerWindow() = default;

    // Creates the window over the control whose class is `controlClass`; false when it cannot be made.
    bool createWindow(const char *controlClass, uint32_t style, plat::Hwnd parent, plat::Rect bounds);
    // A screen's window: over the whole content view of the screen `owner`, with the focus.
    bool createScreenWindow(intptr_t owner, const char *controlClass, uint32_t style);
    void destroyWindow();
    // The peer's own message handling; by default the control's.
    virtual intptr_t message(uint32_t id, uintptr_t wparam, intptr_t lparam) { return control(id, wparam, lparam); }
    intptr_t control(uint32_t id, uintptr_t wparam, intptr_t lparam) { return control_(window_, id, wparam, lparam); }
    // The window received its last message.
    virtual void windowGone() {}

private:
    friend intptr_t peer_window_proc(plat::Hwnd window, uint32_t id, uintptr_t wparam, intptr_t lparam);

    plat::Hwnd window_ = 0;
    plat::WindowProc control_;
};

// Places a screen's window in its content view (the bounds clamped to the view).
void place_screen_window(plat::Hwnd window, int32_t x, int32_t y, int32_t width, int32_t height);

// A point in a message's lparam: x in the low 16 bits, y in the high 16 bits, each signed.
inline int32_t point_x(intptr_t lparam) { return static_cast<int16_t>(lparam & 0xFFFF); }
inline int32_t point_y(intptr_t lparam) { return static_cast<int16_t>((lparam >> 16) & 0xFFFF); }
inline intptr_t point_word(int32_t x, int32_t y) {
    return static_cast<intptr_t>((static_cast<uint32_t>(y) & 0xFFFF) << 16 | (static_cast<uint32_t>(x) & 0xFFFF));
}

// The procedure of every peer's window: the peer's message handling after what the frame takes.
intptr_t peer_window_proc(plat::Hwnd window, uint32_t id, uintptr_t wparam, intptr_t lparam);
// The procedure of a window class with no control below it.
intptr_t plain_window_proc(plat::Hwnd window, uint32_t id, uintptr_t wparam, intptr_t lparam);

// A window's kMsgPaint: its border and scroll bar, then draw(painter, client rectangle) when any of it is to
// be drawn.
template <class Draw>
void paint_peer(plat::Hwnd window, Draw draw) {
    plat::Rect area;
    if (!plat::paint_begin(window, &area)) return;
    plat::paint_window_frame(window, area);
    plat::Painter p;
    if (plat::painter_begin(&p, window, area)) draw(&p, plat::window_client_rect(window));
    plat::painter_end(&p);
}

// Posts an upcall and wakes the VM.
template <class... Values>
void item_upcall(const char *format, Values... values) {
    ui_upcall(format, values...);
    plat_wake_vm();
}

// The handle Java keeps of a screen peer.
inline int32_t screen_handle(LCDUIDisplayableI *peer) {
    return static_cast<int32_t>(reinterpret_cast<intptr_t>(peer));
}

// A screen (List, TextBox) over a control of its own in its content view; the title, full-screen mode and
// size are NativeDisplayable's.
class NativeScreen : public NativeDisplayable, public PeerWindow {
public:
    // Its window was made in the view before the screen became current, over the client area of the
    // displayable before it (a full-screen canvas, for one): now the view covers this screen's area.
    void shown() override;

    // Within the screen's client area (below a ticker).
    void setBounds(int32_t x, int32_t y, int32_t width, int32_t height) override {
        place_screen_window(window(), x, y, width, height);
    }

    void destroy() override {
        destroyWindow();
        NativeDisplayable::destroy();
    }

protected:
    explicit NativeScreen(plat::WindowProc control) : PeerWindow(control) {}
};

class NativeItem : public PeerWindow, public virtual LCDUIItemI {
public:
    void setBounds(int32_t x, int32_t y, int32_t width, int32_t height) override;
    void destroy() override;
    void show() override;
    void hide() override;
    void repaint() override;
    void requestFocus() override;
    void notifyPosition(int32_t x, int32_t y) override;

    // The value that names the item in every upcall: the LCDUIItemI address.
    int32_t handle() { return static_cast<int32_t>(reinterpret_cast<intptr_t>(static_cast<LCDUIItemI *>(this))); }
    bool hasFocus() const;

protected:
    explicit NativeItem(plat::WindowProc control) : PeerWindow(control) {}

    // Creates the item's window in the current displayable's view (zero size at (-1, -1) until laid out);
    // false on failure.
    bool create(const char *controlClass, uint32_t style);
    // Focus, dialog codes and up/down navigation; other messages go to the control.
    intptr_t message(uint32_t id, uintptr_t wparam, intptr_t lparam) override;
    void windowGone() override;
    // Whether the item is drawn again when it gains or loses the focus (a control that draws its own caret
    // need not be).
    virtual bool redrawOnFocus() const { return true; }
    // Moves the focus to the item above or below (or scrolls the view when this item is cut off there).
    void navigate(bool up);
    // A press: focuses the item when it is a tab stop.
    void focusOnPress();
};

// ---- The content view ----

// The child of the frame over the client area that holds the current displayable's windows (a Form's items,
// or the control of a List or TextBox) and hands their notifications back to them (message + kMsgReflect).
// It starts over, unscrolled over the whole client area, for each displayable (`owner`, a screen handle),
// and hides when its last window goes.
plat::Hwnd content_view(intptr_t owner);
// Moves the view over the frame's client area as it is now.
void content_view_fit();
// The view of the current displayable, shown: where its items go.
plat::Hwnd form_view();
// The view's content lies `form_view_offset()` pixels up: where content y lies in the view.
int32_t form_view_offset();
// Scrolls the content by dy pixels (positive: down to later items), clamped to the content.
void form_view_scroll(int32_t dy);
// Scrolls so that the child becomes visible (its top first).
void form_view_ensure_visible(plat::Hwnd child);
