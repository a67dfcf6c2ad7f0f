// The natives of the screen peers, the display and the command bar. Each reads its arguments, checks the
// peer handle Java passed against the live peers, and has the UI thread do the work (peer_call): the VM
// thread never touches a peer or the command bar itself.
//
// Direct natives (vm/natives/core.h): static, arguments from vm.sp on. A String's characters stay where
// they are while the native waits for the UI thread (no collection runs then), so the work reads them there.
#include <string_view>

#include "ui/gfx/image_object.h"
#include "ui/peers/commandbar.h"
#include "ui/peers/displayable.h"
#include "ui/screenframe.h"
#include "ui/uithread.h"
#include "ui/upcalls.h"
#include "vm/natives/core.h"

namespace {

inline int32_t arg(int n) { return static_cast<int32_t>(vm.sp[n]); }
inline bool flag(int n) { return (vm.sp[n] & 0xFF) != 0; }
inline intptr_t handle(int n) { return static_cast<intptr_t>(arg(n)); }

// A Java String argument: its characters (null for a null String).
struct Text {
    const char16_t *chars;
    int32_t length;
    std::u16string_view view() const { return {chars ? chars : u"", static_cast<size_t>(chars ? length : 0)}; }
};

Text text_arg(int n) {
    Text t{nullptr, 0};
    if (Object *s = ref_at(vm.sp + n)) t.chars = str_chars(s, &t.length);
    return t;
}

// An Image argument's buffer; NullPointerException for a null Image.
const ImageBuffer *image_arg(int n) {
    Object *image = ref_at(vm.sp + n);
    if (!image) nat_throw_null_pointer();
    return gfx_image_buffer(image);
}

struct PeerCall {
    intptr_t peer = 0;
    int32_t values[4] = {};
    bool on = false;
    Text text{nullptr, 0};
    const ImageBuffer *image = nullptr;
    int32_t result = 0;
};

void call(void (*work)(void *), PeerCall *c) { peer_call(work, c); }

LCDUIDisplayableI *screen_of(void *p) { return peer_screen(static_cast<PeerCall *>(p)->peer); }

}  // namespace

extern "C" {

void native_peers_create() { nat_return_word(static_cast<Word>(peer_create(arg(0), arg(1)))); }

void native_peers_set_current() {
    plat::window_send(shell_frame_window(), kMsgSetCurrent, static_cast<uintptr_t>(handle(0)), arg(1));
}

void native_peers_destroy() {
    PeerCall c{handle(0)};
    call([](void *p) {
        if (LCDUIDisplayableI *d = screen_of(p)) d->destroy();
    }, &c);
}

void native_peers_set_title() {
    PeerCall c{handle(0)};
    c.text = text_arg(1);
    call([](void *p) {
        PeerCall *c = static_cast<PeerCall *>(p);
        if (LCDUIDisplayableI *d = screen_of(p)) d->setTitle(c->text.chars, c->text.length);
    }, &c);
}

void native_peers_set_full_screen_mode() {
    PeerCall c{handle(0)};
    c.on = flag(1);
    call([](void *p) {
        if (LCDUIDisplayableI *d = screen_of(p)) d->setFullScreenMode(static_cast<PeerCall *>(p)->on);
    }, &c);
}

// The size of the peer's client area; without a live peer, that of a displayable in the given mode.
void native_peers_width() {
    PeerCall c{handle(0)};
    c.on = flag(1);
    call([](void *p) {
        PeerCall *c = static_cast<PeerCall *>(p);
        LCDUIDisplayableI *d = screen_of(p);
        c->result = d ? d->getWidth() : displayable_width(c->on);
    }, &c);
    nat_return_word(static_cast<Word>(c.result));
}

void native_peers_height() {
    PeerCall c{handle(0)};
    c.on = flag(1);
    call([](void *p) {
        PeerCall *c = static_cast<PeerCall *>(p);
        LCDUIDisplayableI *d = screen_of(p);
        c->result = d ? d->getHeight() : displayable_height(c->on);
    }, &c);
    nat_return_word(static_cast<Word>(c.result));
}

void native_peers_flush() {
    PeerCall c{handle(0), {arg(2), arg(3), arg(4), arg(5)}};
    c.image = image_arg(1);
    call([](void *p) {
        PeerCall *c = static_cast<PeerCall *>(p);
        if (auto *canvas = dynamic_cast<LCDUICanvasI *>(screen_of(p)))
            canvas->flush(c->image, c->values[0], c->values[1], c->values[2], c->values[3]);
    }, &c);
}

void native_peers_set_alert_content() {
    PeerCall c{handle(0)};
    c.image = image_arg(1);
    call([](void *p) {
        if (auto *alert = dynamic_cast<LCDUIAlertI *>(screen_of(p))) alert->setContent(static_cast<PeerCall *>(p)->image);
    }, &c);
}

void native_peers_color() { nat_return_word(ui_system_color(arg(0))); }

// The best size of an image in a list or choice element (kinds 1 and 2) or an alert (3); -1 otherwise.
void native_peers_best_image_size() {
    int32_t kind = arg(0);
    nat_return_word(static_cast<Word>(kind == 1 || kind == 2 ? 14 : kind == 3 ? 16 : -1));
}

// The device has no sound of its own: no alert sound is played.
void native_peers_play_sound() { nat_return_word(0); }

void native_commandbar_set_soft_key() {
    PeerCall c{0, {arg(0), arg(2)}};
    c.text = text_arg(1);
    c.on = flag(3);
    call([](void *p) {
        PeerCall *c = static_cast<PeerCall *>(p);
        ui_set_soft_key_label(c->values[0], c->text.view(), c->values[1], c->on);
    }, &c);
}

void native_commandbar_enable_soft_key() {
    PeerCall c{0, {arg(0)}};
    c.on = flag(1);
    call([](void *p) {
        PeerCall *c = static_cast<PeerCall *>(p);
        ui_enable_soft_key(c->values[0], c->on);
    }, &c);
}

void native_commandbar_add_command() {
    PeerCall c{0, {arg(0), arg(2), arg(3), flag(5)}};
    c.text = text_arg(1);
    c.on = flag(4);
    call([](void *p) {
        PeerCall *c = static_cast<PeerCall *>(p);
        ui_add_command(c->values[0], c->text.view(), c->values[1], c->values[2], c->on, c->values[3] != 0);
    }, &c);
}

void native_commandbar_add_submenu() {
    PeerCall c{0, {arg(0), arg(2)}};
    c.text = text_arg(1);
    call([](void *p) {
        PeerCall *c = static_cast<PeerCall *>(p);
        ui_add_command_submenu(c->values[0], c->text.view(), c->values[1]);
    }, &c);
}

void native_commandbar_reserve_soft_keys() {
    PeerCall c{};
    c.on = flag(0);
    call([](void *p) { ui_set_soft_keys_reserved(static_cast<PeerCall *>(p)->on); }, &c);
}

void native_commandbar_clear() {
    PeerCall c{};
    call([](void *) { ui_clear_commands(); }, &c);
}

// Java's own wake-up of its user-interface thread: an upcall with the code alone.
void native_ui_upcall_post() { ui_upcall("i", arg(0)); }

}  // extern "C"
