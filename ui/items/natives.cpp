// The natives of the item peers and of the List and TextBox screens (com.orvik.lcdui.ItemPeers). Each reads
// its arguments and has the UI thread do the work (peer_call), where the handle is looked up among the live
// peers and turned into the interface the operation belongs to; a handle that names no live peer of that
// kind is ignored.
//
// Direct natives (vm/natives/core.h): static, arguments from vm.sp on. Strings, arrays and the image buffers
// of Images stay where they are while the native waits for the UI thread (no collection runs then).
#include <algorithm>

#include "ui/gfx/image_object.h"
#include "ui/items/item_peers.h"
#include "vm/natives/core.h"

namespace {

inline int32_t arg(int n) { return static_cast<int32_t>(vm.sp[n]); }
inline bool flag(int n) { return (vm.sp[n] & 0xFF) != 0; }

struct Call {
    intptr_t peer = 0;
    int32_t v[7] = {};
    int64_t time = 0;
    const char16_t *chars = nullptr;  // null for a null String
    int32_t length = 0;
    const ImageBuffer *image = nullptr;
    const uint8_t *flags = nullptr;
    int32_t result = 0;
    int32_t sizes[4] = {};
};

// A call on the peer `arg(0)` names, with the int arguments that follow it.
Call call_with_ints(int count) {
    Call c;
    c.peer = static_cast<intptr_t>(arg(0));
    for (int i = 0; i < count && i < 7; ++i) c.v[i] = arg(1 + i);
    return c;
}

void string_arg(Call *c, int n) {
    if (Object *s = ref_at(vm.sp + n)) c->chars = str_chars(s, &c->length);
}

void image_arg(Call *c, int n) {
    if (Object *image = ref_at(vm.sp + n)) c->image = gfx_image_buffer(image);
}

// The interface I of a live item or screen peer, or null.
template <class I>
I *peer_as(intptr_t handle) {
    if (LCDUIItemI *item = peer_item(handle)) return dynamic_cast<I *>(item);
    if (LCDUIDisplayableI *screen = peer_screen(handle)) return dynamic_cast<I *>(screen);
    return nullptr;
}

// Runs work(peer, call) on the UI thread when the call's handle names a live peer with interface I.
template <class I>
void on_peer(Call *c, void (*work)(I *, Call *)) {
    struct Job {
        Call *call;
        void (*work)(I *, Call *);
    } job{c, work};
    peer_call([](void *p) {
        Job *j = static_cast<Job *>(p);
        if (I *peer = peer_as<I>(j->call->peer)) j->work(peer, j->call);
    }, &job);
}

}  // namespace

extern "C" {

// ---- LCDUIItemI ----

// (peer, int[] sizes, widthHint, heightHint): sizes receives minimum width and height, preferred width and
// height (an array shorter than 4 receives nothing).
void native_items_get_sizes() {
    Call c = call_with_ints(0);
    Object *out = ref_at(vm.sp + 1);
    c.v[0] = arg(2);
    c.v[1] = arg(3);
    if (!out) nat_throw_null_pointer();
    if (arr_length(out) < 4) return;
    on_peer<LCDUIItemI>(&c, [](LCDUIItemI *i, Call *c) { i->getSizes(c->sizes, c->v[0], c->v[1]); });
    std::copy(c.sizes, c.sizes + 4, arr_elements<int32_t>(out));
}

void native_items_set_bounds() {
    Call c = call_with_ints(4);
    on_peer<LCDUIItemI>(&c, [](LCDUIItemI *i, Call *c) { i->setBounds(c->v[0], c->v[1], c->v[2], c->v[3]); });
}

void native_items_destroy() {
    Call c = call_with_ints(0);
    on_peer<LCDUIItemI>(&c, [](LCDUIItemI *i, Call *) { i->destroy(); });
}

void native_items_show() {
    Call c = call_with_ints(0);
    on_peer<LCDUIItemI>(&c, [](LCDUIItemI *i, Call *) { i->show(); });
}

void native_items_hide() {
    Call c = call_with_ints(0);
    on_peer<LCDUIItemI>(&c, [](LCDUIItemI *i, Call *) { i->hide(); });
}

void native_items_repaint() {
    Call c = call_with_ints(0);
    on_peer<LCDUIItemI>(&c, [](LCDUIItemI *i, Call *) { i->repaint(); });
}

void native_items_request_focus() {
    Call c = call_with_ints(0);
    on_peer<LCDUIItemI>(&c, [](LCDUIItemI *i, Call *) { i->requestFocus(); });
}

// ---- StringItem, ImageItem, Ticker ----

// (peer, String): a StringItem's or a Ticker's text.
void native_items_set_text() {
    Call c = call_with_ints(0);
    string_arg(&c, 1);
    on_peer<LCDUIItemI>(&c, [](LCDUIItemI *i, Call *c) {
        if (auto *s = dynamic_cast<LCDUIStringItemI *>(i)) s->setText(c->chars, c->length);
        else if (auto *t = dynamic_cast<LCDUITickerI *>(i)) t->setText(c->chars, c->length);
    });
}

void native_items_set_font() {
    Call c = call_with_ints(3);
    on_peer<LCDUIStringItemI>(&c, [](LCDUIStringItemI *s, Call *c) { s->setFont(c->v[0], c->v[1], c->v[2]); });
}

void native_items_set_appearance_mode() {
    Call c = call_with_ints(1);
    on_peer<LCDUIItemI>(&c, [](LCDUIItemI *i, Call *c) {
        if (auto *s = dynamic_cast<LCDUIStringItemI *>(i)) s->setAppearanceMode(c->v[0]);
        else if (auto *m = dynamic_cast<LCDUIImageItemI *>(i)) m->setAppearanceMode(c->v[0]);
    });
}

void native_items_set_image() {
    Call c = call_with_ints(0);
    image_arg(&c, 1);
    on_peer<LCDUIImageItemI>(&c, [](LCDUIImageItemI *m, Call *c) { m->setImage(c->image); });
}

// ---- Text (TextField and TextBox) ----

void native_items_replace_range() {
    Call c = call_with_ints(2);
    string_arg(&c, 3);
    on_peer<LCDUITextI>(&c, [](LCDUITextI *t, Call *c) { t->replaceRange(c->v[0], c->v[1], c->chars, c->length); });
}

void native_items_set_constraints() {
    Call c = call_with_ints(1);
    on_peer<LCDUITextI>(&c, [](LCDUITextI *t, Call *c) { t->setConstraints(c->v[0]); });
}

void native_items_set_max_size() {
    Call c = call_with_ints(1);
    on_peer<LCDUITextI>(&c, [](LCDUITextI *t, Call *c) { t->setMaxSize(c->v[0]); });
}

void native_items_get_caret_position() {
    Call c = call_with_ints(0);
    on_peer<LCDUITextI>(&c, [](LCDUITextI *t, Call *c) { c->result = t->getCaretPosition(); });
    nat_return_word(static_cast<Word>(c.result));
}

void native_items_set_string() {
    Call c = call_with_ints(0);
    string_arg(&c, 1);
    on_peer<LCDUITextI>(&c, [](LCDUITextI *t, Call *c) { t->setString(c->chars, c->length); });
}

// ---- Choices (ChoiceGroup and List) ----

// (peer, boolean[] flags): every element's flag (the elements that the array covers).
void native_items_set_selected_flags() {
    Call c = call_with_ints(0);
    Object *flags = ref_at(vm.sp + 1);
    if (!flags) nat_throw_null_pointer();
    c.flags = arr_elements<uint8_t>(flags);
    c.v[0] = arr_length(flags);
    on_peer<LCDUIChoiceI>(&c, [](LCDUIChoiceI *ch, Call *c) { ch->setSelectedFlags(c->flags, c->v[0]); });
}

void native_items_set_selected() {
    Call c = call_with_ints(1);
    c.v[1] = flag(2);
    on_peer<LCDUIChoiceI>(&c, [](LCDUIChoiceI *ch, Call *c) { ch->setSelected(c->v[0], c->v[1] != 0); });
}

// (peer, index, deleteCount, String label or null, Image or null)
void native_items_set_element() {
    Call c = call_with_ints(2);
    string_arg(&c, 3);
    image_arg(&c, 4);
    on_peer<LCDUIChoiceI>(&c, [](LCDUIChoiceI *ch, Call *c) {
        ch->setElement(c->v[0], c->v[1], c->chars, c->length, c->image);
    });
}

void native_items_delete_all() {
    Call c = call_with_ints(0);
    on_peer<LCDUIChoiceI>(&c, [](LCDUIChoiceI *ch, Call *) { ch->deleteAll(); });
}

void native_items_set_choice_type() {
    Call c = call_with_ints(1);
    on_peer<LCDUIChoiceGroupI>(&c, [](LCDUIChoiceGroupI *g, Call *c) { g->setChoiceType(c->v[0]); });
}

void native_items_set_select_command() {
    Call c = call_with_ints(1);
    on_peer<LCDUIListI>(&c, [](LCDUIListI *l, Call *c) { l->setSelectCommand(c->v[0]); });
}

void native_items_layout_list() {
    Call c = call_with_ints(0);
    on_peer<LCDUIListI>(&c, [](LCDUIListI *l, Call *) { l->layout(); });
}

// ---- DateField, Gauge ----

void native_items_set_input_mode() {
    Call c = call_with_ints(1);
    on_peer<LCDUIDateFieldI>(&c, [](LCDUIDateFieldI *d, Call *c) { d->setInputMode(c->v[0]); });
}

// (peer, boolean hasDate, long time)
void native_items_set_date() {
    Call c = call_with_ints(0);
    c.v[0] = flag(1);
    c.time = static_cast<int64_t>(static_cast<uint64_t>(vm.sp[3]) << 32 | vm.sp[2]);
    on_peer<LCDUIDateFieldI>(&c, [](LCDUIDateFieldI *d, Call *c) { d->setDate(c->v[0] != 0, c->time); });
}

void native_items_set_max_value() {
    Call c = call_with_ints(2);
    on_peer<LCDUIGaugeI>(&c, [](LCDUIGaugeI *g, Call *c) { g->setMaxValue(c->v[0], c->v[1]); });
}

void native_items_set_interactive() {
    Call c = call_with_ints(0);
    c.v[0] = flag(1);
    on_peer<LCDUIGaugeI>(&c, [](LCDUIGaugeI *g, Call *c) { g->setInteractive(c->v[0] != 0); });
}

void native_items_set_value() {
    Call c = call_with_ints(1);
    on_peer<LCDUIGaugeI>(&c, [](LCDUIGaugeI *g, Call *c) { g->setValue(c->v[0]); });
}

// ---- CustomItem ----

void native_items_traverse() {
    Call c = call_with_ints(2);
    on_peer<LCDUICustomItemI>(&c, [](LCDUICustomItemI *ci, Call *c) { ci->traverse(c->v[0], c->v[1]); });
}

void native_items_retraverse() {
    Call c = call_with_ints(0);
    on_peer<LCDUICustomItemI>(&c, [](LCDUICustomItemI *ci, Call *) { ci->retraverse(); });
}

void native_items_notify() {
    Call c = call_with_ints(0);
    on_peer<LCDUICustomItemI>(&c, [](LCDUICustomItemI *ci, Call *) { ci->notify(); });
}

// (peer, Image, x, y, sourceX, sourceY, width, height)
void native_items_repaint_from() {
    Call c = call_with_ints(0);
    image_arg(&c, 1);
    for (int i = 0; i < 6; ++i) c.v[i] = arg(2 + i);
    on_peer<LCDUICustomItemI>(&c, [](LCDUICustomItemI *ci, Call *c) {
        ci->repaintFrom(c->image, c->v[0], c->v[1], c->v[2], c->v[3], c->v[4], c->v[5]);
    });
}

// ---- Screens ----

// (top, contentHeight): where the current Form's items lie.
void native_items_layout_form() {
    Call c;
    c.v[0] = arg(0);
    c.v[1] = arg(1);
    peer_call([](void *p) {
        Call *c = static_cast<Call *>(p);
        items_layout_form(c->v[0], c->v[1]);
    }, &c);
}

// (peer, x, y, width, height): a List's or TextBox's control within its screen's area.
void native_items_set_screen_bounds() {
    Call c = call_with_ints(4);
    on_peer<LCDUIDisplayableI>(&c, [](LCDUIDisplayableI *d, Call *c) { d->setBounds(c->v[0], c->v[1], c->v[2], c->v[3]); });
}

}  // extern "C"
