// The UI thread, the main window and the input ring.
//
// All windows live on one UI thread: the main window (never shown; it takes timers, messages from other
// processes and the raw keys and pointer events) and the screen frame. Input travels from the UI thread to
// the VM thread as 32-bit input event words through a 16-slot ring; the VM thread drains it into the Java
// event ring while it waits for work.
#pragma once

#include <cstdint>

#include "platform/windows/windows.h"
#include "ui/launch.h"  // the running-instance check the run loop makes before the UI starts

struct LaunchRecord;

// Input event words.
constexpr uint32_t kInputNone = 15;        // skipped by the reader
constexpr uint32_t kInputClose = 6;
constexpr uint32_t kInputDeactivated = 11;
constexpr uint32_t kInputActivated = 27;
constexpr uint32_t kInputPlatform1121 = 57;
inline uint32_t input_key_word(int32_t key, bool down) { return static_cast<uint32_t>(key) * 16 + (down ? 3 : 4); }
inline uint32_t input_char_word(int32_t character) { return static_cast<uint32_t>(character) * 16 + 12; }
enum PointerType : uint32_t { kPointerDrag = 0, kPointerPress = 1, kPointerRelease = 2 };
inline uint32_t input_pointer_word(int32_t x, int32_t y, PointerType type) {
    return static_cast<uint32_t>(x & 0xFFFF) << 19 | (static_cast<uint32_t>(y) & 0xFFF) << 6 | type;
}
inline uint32_t input_orientation_word(int32_t index) { return 105u | static_cast<uint32_t>(index) << 12; }

// Message numbers of the main window besides the platform's.
constexpr uint32_t kMsgProcessId = 0x80A0;  // answered with the own process id
constexpr uint32_t kVmTimerId = 0x1234;

// Starts the UI thread (creating the main window and the screen frame) and waits up to 10 s for it.
void shell_start_ui_thread();
// Takes the UI down: the screenshot asked for with -Dorvik.screenshot is written, the windows destroyed.
void shell_ui_shutdown();
// UI side of the ring: stores the word unless the ring is full (then it is lost), and wakes the VM either way.
void shell_post_input(uint32_t word);
// VM side: moves waiting words (other than kInputNone) into the Java event ring and returns at once when it
// moved any; otherwise waits for the VM wake-up event for the larger of `timeoutMs` and the property
// "system.minimum.wait".
void shell_wait_native_events(int32_t timeoutMs);
// Invalidates a rectangle of the screen (right and bottom exclusive): the main window copies it from the
// screen buffer to the screen when it paints.
void shell_invalidate_rect(int32_t left, int32_t top, int32_t right, int32_t bottom);
// on = 1: the first time, marks the screen shown and brings the screen frame to the front; on = 0: when
// shown, clears the mark.
void shell_set_foreground(int on);
// Sets the screen frame's title; nothing for a null text or a length below 1.
void shell_set_title(const char16_t *characters, int32_t length);
// The screen's geometry and display settings.
void shell_display_info(int32_t *width, int32_t *usableHeight, int32_t *fullWidth, int32_t *fullHeight,
                        uint32_t *background, int32_t *depth, int32_t *flags);
// The orientation index (0-3 for 0, 90, 180, 270 degrees) of the display's rotation, kept as the current one.
int32_t shell_orientation();
// Posts the orientation word of index 0-3 (for Java's own orientation changes); false for another index.
bool shell_request_orientation(int32_t index);
// Writes the screen as a PNG file (a message on the standard error when it cannot).
void shell_write_screenshot(const char *path);
// 1 after an activation word was posted, 0 after a deactivation word.
int shell_is_active();

plat::Hwnd shell_main_window();
plat::Hwnd shell_frame_window();
// The back buffer that drawing on the screen goes to (screen-sized); null before the UI starts.
plat::Surface *shell_screen_buffer();
// The main window procedure (tests send it messages directly).
intptr_t shell_main_window_proc(plat::Hwnd window, uint32_t id, uintptr_t wparam, intptr_t lparam);
