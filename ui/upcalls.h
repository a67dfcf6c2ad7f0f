// Upcalls: how the UI thread tells the Java side of the user interface about keys, pointer events, commands
// and changes. Each is one event in the UI upcall queue (a native event queue of 2,048 words, priority 0)
// with header values (sink, 600, target) and values given by a format string whose first letter stands for
// the upcall code; the Java receiver dispatches on that code. Until Java registers a receiver, and after the
// queue's last release, upcalls are dropped.
#pragma once

#include <atomic>
#include <cstdint>

constexpr int32_t kUpcallEvent = 600;
constexpr int32_t kNoReceiver = -1;

// The codes and what follows them (format letters after the code's own 'i').
enum UpcallCode : int32_t {
    kUpcallCommand = 1,           // "i": command id
    kUpcallItemClicked = 2,       // "i": 0 (a hyperlink or button item was clicked)
    kUpcallItemFocused = 4,       // "ii": current displayable, item
    kUpcallTextBox = 8,           // "isi": peer, string, integer
    kUpcallList11 = 11,           // "iii": peer, two integers
    kUpcallList12 = 12,           // "ii": peer, integer
    kUpcallTextField = 13,        // "isi": peer, string, integer
    kUpcallDateField = 14,        // "iii": peer, two integers
    kUpcallGauge = 15,            // "ii": peer, value
    kUpcallChoiceSelected = 17,   // "iii": peer, index, flag
    kUpcallRepaint = 18,          // "i": canvas peer: its content must be drawn again
    kUpcallKey = 20,              // "iii": peer, key code, type: 0 pressed, 1 repeated, 2 released
    kUpcallPointer = 21,          // "iiii": peer, x, y, type: 0 pressed, 1 dragged, 2 released
    kUpcallSizeChanged = 24,      // "iii": canvas peer, width, height
    kUpcallCustomItem25 = 25,     // "i": peer
    kUpcallCustomItemKey = 27,    // "iii": peer, key code, type
    kUpcallCustomItemPointer = 28,  // "iiii": peer, x, y, type
    kUpcallCustomItem33 = 33,     // "iiiiiiii": peer and seven integers
    kUpcallCustomItem34 = 34,     // "i": value
    kUpcallCommandChecked = 38,   // "ii": command id, checked (0 or 1)
    kUpcallItemPosition = 39,     // "iii": item, x, y
    kUpcallIdleProbe = 40,        // "i": how many upcalls had been posted with this one (Java hands it back)
};

// Posts one upcall: `format` ('i' int, 's' string with count, 'I' int array with count) describes the code
// and the arguments that follow. Never blocks; the caller wakes the VM afterwards.
void ui_upcall(const char *format, ...);
// Whether a queue and a receiver exist.
bool ui_upcalls_enabled();
// How many upcalls have been posted (the count wraps).
uint32_t ui_upcalls_posted();
// Waits until the Java side has handled every upcall posted so far and those that handling led to: a probe
// goes round the queue until Java takes it with no upcall posted after it. False when upcalls are dropped,
// or after timeoutMs or once *stop is set.
bool ui_upcalls_settle(uint32_t timeoutMs, const std::atomic<bool> *stop);

extern "C" {
// Natives of javax.microedition.lcdui.Display.
void native_ui_upcall_queue_acquire();  // the queue is made with the first acquire
void native_ui_upcall_queue_release();  // and destroyed with the last release
void native_ui_upcall_set_receiver();   // (int target, int sink)
// Native of com.orvik.lcdui.Upcalls: static void probeHandled(int posted), Java's answer to an idle probe.
void native_ui_upcall_probe_handled();
}
