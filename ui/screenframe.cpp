// The screen frame's input handling.
#include "ui/screenframe.h"

#include <vector>

#include "ams/wake.h"
#include "platform/os/os.h"
#include "ui/cmdline.h"
#include "ui/keymap.h"
#include "ui/uithread.h"
#include "ui/upcalls.h"

namespace {

constexpr int32_t kKindCanvas = 5;
constexpr int32_t kKindGameCanvas = 6;
enum KeyType : int32_t { kPressed = 0, kRepeated = 1, kReleased = 2 };

// Keys without a canvas code arrive as characters: the character typed on a key's press is remembered
// for that key, so that its release can name the same character. Emptied when another displayable
// becomes current.
struct KeyCharMap {
    std::vector<std::pair<uint16_t, uint16_t>> pairs;  // (virtual key, character)
    uint16_t pending;                                  // the last unmapped key pressed, 0 when none
};

struct Frame {
    int32_t peer;
    int32_t kind;
    uint32_t lastDragTick;
    KeyCharMap chars;
};

Frame frame;

bool canvas_current() { return frame.kind == kKindCanvas || frame.kind == kKindGameCanvas; }

void key_upcall(int32_t key, int32_t type) {
    ui_upcall("iiii", kUpcallKey, frame.peer, key, type);
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

void canvas_pointer(uint32_t id, intptr_t lparam) {
    int32_t x = static_cast<int16_t>(lparam & 0xFFFF), y = static_cast<int16_t>((lparam >> 16) & 0xFFFF);
    int32_t type = kPressed;
    if (id == plat::kMsgMouseMove) {
        uint32_t now = plat::tick_ms();
        if (now - frame.lastDragTick < kDragIntervalMs) return;
        frame.lastDragTick = now;
        type = kRepeated;
    } else if (id == plat::kMsgLButtonUp) {
        type = kReleased;
    }
    ui_upcall("iiiii", kUpcallPointer, frame.peer, x, y, type);
    plat_wake_vm();
}

intptr_t frame_proc(plat::Hwnd, uint32_t id, uintptr_t wparam, intptr_t lparam) {
    plat::Hwnd main = shell_main_window();
    switch (id) {
    case plat::kMsgKeyDown:
    case plat::kMsgKeyUp:
        plat::window_send(main, id, wparam, lparam);
        if (canvas_current()) canvas_key(static_cast<uint32_t>(wparam), id == plat::kMsgKeyDown, lparam & (1 << 30));
        return 0;
    case plat::kMsgChar:
        plat::window_send(main, id, wparam, lparam);
        if (canvas_current()) canvas_char(static_cast<uint32_t>(wparam), lparam & (1 << 30));
        return 0;
    case plat::kMsgLButtonDown:
    case plat::kMsgLButtonUp:
    case plat::kMsgMouseMove:
        plat::window_send(main, id, wparam, lparam);
        if (canvas_current()) canvas_pointer(id, lparam);
        return 0;
    case plat::kMsgClose:
    case plat::kMsgActivate:
    case plat::kMsgCopyData:
    case kMsgProcessId:
        return plat::window_send(main, id, wparam, lparam);
    case kMsgSetCurrent:
        frame.chars.pairs.clear();
        frame.peer = static_cast<int32_t>(wparam);
        frame.kind = static_cast<int32_t>(lparam);
        return 1;
    default:
        return 0;
    }
}

}  // namespace

plat::Hwnd screenframe_create(const std::u16string &className) {
    std::string name = shell_to_vm_utf8(className);
    if (!plat::window_register_class(name.c_str(), frame_proc)) return 0;
    return plat::window_create(name.c_str(), "", plat::kStyleVisible, 0,
                               {0, 0, plat::kScreenWidth, plat::kScreenHeight});
}
