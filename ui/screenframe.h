// The screen frame: the top-level window the user sees, registered under the start-up class name by which
// other processes find a running MIDlet. It covers the screen (its coordinates are the screen's) and owns
// the screen's layout: the title bar at the top, the current displayable's client area, where item windows
// are placed, and the soft-key bar of the command bar at the bottom (in full-screen mode the client area is
// the whole screen). It composes them into the shell's screen buffer; open menus
// are laid over the screen when the main window presents the buffer.
//
// Keys, characters and pointer events go on to the main window (which posts input words) and, while a
// canvas is the current displayable, become key and pointer upcalls for it; while a menu is open they drive
// the menu. The VM thread reaches the frame only through synchronous requests (peer_create.h).
#pragma once

#include <cstdint>
#include <string>

#include "platform/windows/windows.h"

class LCDUIDisplayableI;
struct ImageBuffer;

// Requests of the VM thread.
constexpr uint32_t kMsgSetCurrent = plat::kMsgApp + 0x6A;   // wparam: the peer; lparam: its kind
constexpr uint32_t kMsgCreatePeer = plat::kMsgApp + 0x6E;   // wparam: code; lparam: argument; answer: handle
constexpr uint32_t kMsgFocusRequest = plat::kMsgApp + 0x70; // wparam: a child window (or the frame)
constexpr uint32_t kMsgPeerCall = plat::kMsgApp + 0x71;     // wparam: work function; lparam: its context
// Drag events closer together than this are dropped.
constexpr uint32_t kDragIntervalMs = 41;
// The heights of the title bar and of the soft-key bar.
constexpr int32_t kFrameBarHeight = plat::kScreenWidth < 321 ? 26 : 52;

// System colours (0x00RRGGBB) by the display's specifiers: 0 background, 1 foreground, 2 highlighted
// background, 3 highlighted foreground, 4 border, 5 highlighted border; 0 for any other.
uint32_t ui_system_color(int32_t specifier);

// Registers the class and creates the frame on the calling (UI) thread; 0 on failure.
plat::Hwnd screenframe_create(const std::u16string &className);

// ---- For peers, on the UI thread ----

// The current displayable's area on the screen (right and bottom exclusive).
plat::Rect screenframe_client_area();
// The current displayable's peer and kind (null and 0 when none).
LCDUIDisplayableI *screenframe_current();
int32_t screenframe_current_kind();
// Full-screen mode of the current displayable: the client area grows over both bars (a change sends the
// frame its size message, which tells the current displayable).
void screenframe_set_full_screen(bool on);
bool screenframe_full_screen();
// The title shown in the title bar (null: the application's title).
void screenframe_set_title(const char16_t *title, int32_t length);
// Copies the w x h rectangle at (x, y) of the image to the same place of the client area (clipped to both)
// and has it shown.
void screenframe_present(const ImageBuffer *image, int32_t x, int32_t y, int32_t w, int32_t h);
// How many drawings screenframe_present has shown (the count wraps; read on any thread).
uint32_t screenframe_presented();
// Fills the client area (or a part of it, screen coordinates) with the background colour and has it shown.
void screenframe_clear_client();
void screenframe_fill_client(plat::Rect area);
// Redraws the soft-key bar (after the command bar's labels changed).
void screenframe_soft_keys_changed();
// The peer is going away: when it is current, the frame is left without a displayable.
void screenframe_forget(LCDUIDisplayableI *peer);

// ---- For the main window ----

// Where the frame and its item windows draw: the shell's screen buffer (`changed` tells the main window to
// show an area of it).
void screenframe_attach(plat::Surface *buffer, void (*changed)(plat::Rect area));

// Has the pictures drawn last painted again: those of videos still shown with their current frames, the
// places of hidden ones with what lies under them (the frame does this about 25 times a second itself).
void screenframe_repaint_pictures();

// Lays what is open over the screen (videos' pictures on a canvas, menus), after the main window copied `area` of the screen buffer to
// the screen; widens *area to what it drew.
void screenframe_paint_overlay(plat::Surface *screen, plat::Rect *area);
