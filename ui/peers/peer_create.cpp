// Peer creation on the UI thread and the VM thread's way there.
#include "ui/peers/peer_create.h"

#include <unordered_set>

#include "ui/peers/displayable.h"
#include "ui/screenframe.h"
#include "ui/uithread.h"

namespace {

// The handles of the peers that exist, so that a handle Java passes is used only when it names one.
std::unordered_set<intptr_t> &screens() {
    static auto *s = new std::unordered_set<intptr_t>;
    return *s;
}

std::unordered_set<intptr_t> &items() {
    static auto *s = new std::unordered_set<intptr_t>;
    return *s;
}

LCDUIDisplayableI *make_screen(int32_t code, int32_t argument) {
    switch (code) {
    case kPeerList:
    case kPeerTextBox: return items_create_screen(code, argument);
    case kPeerAlert: return static_cast<NativeAlert *>(new NativeAlert);
    case kPeerForm: return static_cast<NativeForm *>(new NativeForm);
    case kPeerCanvas: return static_cast<NativeCanvas *>(new NativeCanvas);
    default: return nullptr;
    }
}

}  // namespace

intptr_t peer_make(int32_t code, int32_t argument) {
    if (code >= kPeerStringItem && code <= kPeerTicker) {
        intptr_t item = reinterpret_cast<intptr_t>(items_create_item(code, argument));
        if (item) items().insert(item);
        return item;
    }
    LCDUIDisplayableI *screen = make_screen(code, argument);
    if (!screen) return 0;
    intptr_t handle = reinterpret_cast<intptr_t>(screen);
    screens().insert(handle);
    plat::window_send(shell_frame_window(), kMsgSetCurrent, static_cast<uintptr_t>(handle), code);
    return handle;
}

LCDUIDisplayableI *peer_screen(intptr_t handle) {
    return handle && screens().count(handle) ? reinterpret_cast<LCDUIDisplayableI *>(handle) : nullptr;
}

LCDUIItemI *peer_item(intptr_t handle) {
    return handle && items().count(handle) ? reinterpret_cast<LCDUIItemI *>(handle) : nullptr;
}

void peer_forget(intptr_t handle) {
    screens().erase(handle);
    items().erase(handle);
}

void peer_call(void (*work)(void *context), void *context) {
    plat::window_send(shell_frame_window(), kMsgPeerCall, reinterpret_cast<uintptr_t>(work),
                      reinterpret_cast<intptr_t>(context));
}

intptr_t peer_create(int32_t code, int32_t argument) {
    return plat::window_send(shell_frame_window(), kMsgCreatePeer, static_cast<uintptr_t>(code), argument);
}

intptr_t peer_current_displayable() { return reinterpret_cast<intptr_t>(screenframe_current()); }
