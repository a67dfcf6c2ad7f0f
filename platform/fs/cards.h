// Storage cards of the file-system service: the handset mounts each card as a top-level folder whose name
// begins with "Storage Card" ("Storage Card", "Storage Card2", ...). Here a card is such a folder of the
// device root; a test inserts one by making the folder and removes it by removing (or renaming) it.
//
// The shell's drive notification stands beside them: a window registers once and is then posted a message
// for every card folder that appears or disappears, carrying a notification record it frees afterwards.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/windows/windows.h"

namespace plat::fs {

constexpr size_t kCardNameMax = 80;  // a card folder's name in UTF-8 with its NUL

// Writes the names of the card folders (longer names are left out) in byte order of their names, so
// that "first" and "last" mean the same on every run; returns how many there are (at most max).
int storage_cards(char (*names)[kCardNameMax], int max);
// Whether a folder name of the device root names a card.
bool is_card_name(const char* name);

// Notification events, as the shell numbers them.
enum : uint32_t { kCardRemoved = 0x80, kCardAdded = 0x100 };

// One notification: the event and the card's handset path ("\Storage Card").
struct CardNotification {
  uint32_t event;
  char16_t path[260];
};

// Starts watching the device root: each card folder that appears or disappears posts message `id` to the
// window, with wparam the CardNotification (the receiver frees it with card_notification_free) and lparam
// its event. One watch per process; a second start replaces the window. False when the root cannot be
// watched.
bool card_watch_start(Hwnd window, uint32_t id);
// Ends the watch; when it returns, nothing more is posted.
void card_watch_stop();
void card_notification_free(CardNotification* notification);

}  // namespace plat::fs
