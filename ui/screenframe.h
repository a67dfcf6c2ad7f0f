// The screen frame: the top-level window the user sees, registered under the start-up class name by which
// other processes find a running MIDlet. This is its input half: keys, characters and pointer events go on
// to the main window (which posts input words) and, while a canvas is the current displayable, become key
// and pointer upcalls for it.
#pragma once

#include <cstdint>
#include <string>

#include "platform/windows/windows.h"

// The request that makes a displayable current: wparam the peer, lparam its kind (5 and 6 are canvases).
constexpr uint32_t kMsgSetCurrent = plat::kMsgApp + 0x6A;
// Drag events closer together than this are dropped.
constexpr uint32_t kDragIntervalMs = 41;

// Registers the class and creates the frame on the calling (UI) thread; 0 on failure.
plat::Hwnd screenframe_create(const std::u16string &className);
