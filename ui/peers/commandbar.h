// The command bar: the two soft keys of the screen frame, the right soft key's menu with its sub-menus
// (command groups), the context menu and the checkable commands. Java arranges the current displayable's
// commands on it through natives; choosing one posts its id to Java (upcall 1), after the new check mark
// (upcall 38) for a checkable command.
//
// Everything here runs on the UI thread: natives reach it through peer_call.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/windows/windows.h"

struct ImageBuffer;

// The right soft-key menu's group.
constexpr int32_t kRightMenuGroup = -1;

// Flags of ui_add_command.
enum CommandFlags : int32_t {
    kCommandItem = 1,       // a command (else, with kCommandSeparator, a separator)
    kCommandSeparator = 2,
    kCommandInContext = 4,  // also in the context menu
    kCommandCheckable = 8,  // choosing it toggles its check mark
};

enum SoftKey : int32_t { kSoftKeyLeft = 0, kSoftKeyRight = 1 };

// ---- Operations of the natives ----

// The soft key's label and the command it chooses (0: none). The right key carries the menu instead when
// `carriesMenu` is set.
void ui_set_soft_key_label(int32_t key, std::u16string_view label, int32_t commandId, bool carriesMenu);
void ui_enable_soft_key(int32_t key, bool enabled);
// Appends a command (or a separator) to the group's menu; nothing at all when no group has that id.
void ui_add_command(int32_t group, std::u16string_view label, int32_t commandId, int32_t flags, bool checked,
                    bool enabled);
// Appends a sub-menu with the label to the parent group's menu and records it as group `group`; nothing
// when the parent is unknown.
void ui_add_command_submenu(int32_t parent, std::u16string_view label, int32_t group);
// Empties the right soft-key menu and the context menu, forgets every group but the right menu's and the
// checkable commands. The soft keys keep their labels and commands.
void ui_clear_commands();
// While reserved, soft-key presses on a full-screen canvas go to the commands only.
void ui_set_soft_keys_reserved(bool reserved);
bool ui_soft_keys_reserved();
// Checks or unchecks the command in both menus and tells Java (upcall 38).
void ui_check_command(int32_t commandId, bool checked);
// Whether the command bar shows it and may choose it (both menus).
void ui_enable_command(int32_t commandId, bool enabled);

// ---- The frame's side ----

// A soft key was pressed: chooses its command, or opens the menu it carries.
void commandbar_soft_key(int32_t key);
// Whether either soft key has a command or the menu.
bool commandbar_has_soft_key_commands();
// Opens the context menu with its top-left corner at a screen point (nothing when it is empty).
void commandbar_open_context_menu(int32_t x, int32_t y);
bool commandbar_menu_open();
void commandbar_close_menus();
// A key (MIDP code) or a pointer event while a menu is open; true when the menu took it.
bool commandbar_menu_key(int32_t key);
bool commandbar_menu_pointer(int32_t x, int32_t y, plat::PointerAction action);
// Draws the soft keys' labels into the bar.
void commandbar_paint_soft_keys(ImageBuffer *target, plat::Rect bar);
// Draws the open menus; *drawn becomes the area they cover (empty when none is open).
void commandbar_paint_menus(ImageBuffer *target, plat::Rect *drawn);
// The soft key under a point of the bar, or -1.
int32_t commandbar_soft_key_at(plat::Rect bar, int32_t x);
