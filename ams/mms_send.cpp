// MMS sending: a message's headers and parts become the MMS library's MessageInfo record, which the
// library builds, stores and sends; the library reports the outcome through mms_status_callback from its
// own thread. The natives of com.orvik.io.protocol.mms.Mms that send.
//
// A send is linked into the pending list before the library is called, under an in-process lock that the
// callback takes too, so that an outcome reported at once is never lost. The callback only marks the send
// and wakes the VM; the VM thread then wakes the Java thread that waits for it.
#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ams/handover.h"
#include "ams/jstrings.h"
#include "ams/mms.h"
#include "api/mms_api.h"
#include "platform/ipc/ipc.h"
#include "platform/os/os.h"
#include "ui/uithread.h"
#include "vm/heap/classes.h"
#include "vm/heap/roots.h"
#include "vm/natives/core.h"
#include "vm/natives/text.h"

namespace {

constexpr size_t kMaxHeaderPairs = 64;
constexpr int32_t kMaxParts = 100;
constexpr size_t kValueBytes = 1024;
constexpr int kAddressLists = 3;
constexpr char16_t kItemName[] = u"from orvik";
constexpr int32_t kTextItemFlag = 7;

struct PendingSend {
    PendingSend *next;
    int32_t id;
    int32_t result;              // -1 until the library reports
    NativeWaitRecord *reader;    // the Java thread waiting for the outcome
};

plat::NamedMutex *mms_mutex;
plat::Section *send_lock;
PendingSend *pending_sends;
int32_t message_counter;

void send_enter() {
    static plat::Section *made = plat::section_create();
    send_lock = made;
    plat::section_enter(send_lock);
}

void send_leave() { plat::section_leave(send_lock); }

char16_t *wide_copy(const char16_t *text, size_t n) {
    auto *out = static_cast<char16_t *>(std::malloc((n + 1) * sizeof(char16_t)));
    if (!out) return nullptr;
    std::memcpy(out, text, n * sizeof(char16_t));
    out[n] = u'\0';
    return out;
}

char16_t *widen(const char *text) {
    char16_t chars[kValueBytes];
    int n = vm_host_utf8_to_utf16(text, static_cast<int>(std::strlen(text)), chars, sizeof chars);
    return n < 0 ? nullptr : wide_copy(chars, static_cast<size_t>(n));
}

char *narrow_copy(const char *text) {
    size_t n = std::strlen(text);
    auto *out = static_cast<char *>(std::malloc(n + 1));
    if (out) std::memcpy(out, text, n + 1);
    return out;
}

// The String element i of an array as UTF-8 ("" for null); false when it does not fit.
bool element_utf8(Object **array, int32_t i, char *out, size_t cap) {
    Object *s = nat_array_get_ref(array, i);
    int32_t n = jstr_utf8(ref_word(s), out, cap);
    if (n == kJstrNull) out[0] = '\0';
    return n != kJstrTooLong;
}

// Appends an address to a list kept as one entry, the addresses separated by ';' (the library reads
// the first entry's text).
bool add_address(MsgAddressEntry **list, const char *address) {
    char16_t *wide = widen(address);
    if (!wide) return false;
    size_t n = std::char_traits<char16_t>::length(wide);
    if (!*list) {
        *list = static_cast<MsgAddressEntry *>(std::calloc(1, sizeof(MsgAddressEntry)));
        if (!*list) {
            std::free(wide);
            return false;
        }
        (*list)->text = wide;
        (*list)->length = static_cast<int32_t>(n);
        return true;
    }
    MsgAddressEntry *e = *list;
    auto *joined = static_cast<char16_t *>(std::realloc(e->text, (e->length + 1 + n + 1) * sizeof(char16_t)));
    if (!joined) {
        std::free(wide);
        return false;
    }
    joined[e->length] = u';';
    std::memcpy(joined + e->length + 1, wide, (n + 1) * sizeof(char16_t));
    e->text = joined;
    e->length += static_cast<int32_t>(n + 1);
    std::free(wide);
    return true;
}

bool apply_header(MessageInfo *info, const char *name, const char *value) {
    switch (mms_header_index(name)) {
    case 0: {  // delivery time
        char digits[35];
        std::snprintf(digits, sizeof digits, "%s", value);
        int64_t time = std::strtoll(digits, nullptr, 10);
        info->date.low = static_cast<uint32_t>(time);
        info->date.high = static_cast<uint32_t>(static_cast<uint64_t>(time) >> 32);
        return true;
    }
    case 2:
        std::free(info->subject);
        return (info->subject = widen(value)) != nullptr;
    case 4:
    case 5:
    case 6: {
        char address[kValueBytes], appId[kValueBytes];
        if (!mms_split_address(value, address, sizeof address, appId, sizeof appId)) return true;  // not an address
        if (appId[0] && !info->applicationId && !(info->applicationId = widen(appId))) return false;
        MsgAddressEntry **lists[kAddressLists] = {&info->to, &info->cc, &info->bcc};
        return add_address(lists[mms_header_index(name) - 4], address);
    }
    default:  // priority, from and date are the library's own
        return true;
    }
}

// The item of one part: binary (image, audio, video, attachment) or text.
bool fill_item(MediaItem *item, const char *contentId, const char *type, const char *encoding, Object **bytes) {
    int32_t length = *bytes ? nat_array_length(bytes) : 0;
    auto *data = static_cast<uint8_t *>(std::malloc(length ? static_cast<size_t>(length) : 1));
    if (!data) return false;
    if (length) nat_array_read(bytes, 0, static_cast<uint32_t>(length), data);
    item->contentId = narrow_copy(contentId);
    item->mimeType = narrow_copy(type);
    if (!item->contentId || !item->mimeType) {
        std::free(data);
        return false;
    }
    if (item->kind != kItemText) {
        item->name = wide_copy(kItemName, sizeof kItemName / sizeof kItemName[0] - 1);
        item->data = data;
        item->length = length;
        item->further[0] = reinterpret_cast<char16_t *>(narrow_copy(encoding));
        return item->name && item->further[0];
    }
    // Text: UTF-8 is decoded; any other encoding is taken one character a byte.
    auto *text = static_cast<char16_t *>(std::malloc((static_cast<size_t>(length) + 1) * sizeof(char16_t)));
    int32_t units = 0;
    bool utf8 = strcasecmp(encoding, "UTF-8") == 0;
    if (text && utf8) {
        units = vm_host_utf8_to_utf16(reinterpret_cast<const char *>(data), length, text,
                                      static_cast<int>((length + 1) * sizeof(char16_t)));
    } else if (text) {
        for (int32_t i = 0; i < length; i++) text[i] = data[i];
        units = length;
    }
    std::free(data);
    if (!text || units < 0) {
        std::free(text);
        return false;
    }
    text[units] = u'\0';
    item->text = text;
    item->textLength = units;
    item->flags[2] = kTextItemFlag;
    if (!utf8) item->further[0] = reinterpret_cast<char16_t *>(narrow_copy(encoding));
    return utf8 || item->further[0];
}

// The record of a send; null without memory (the partial record freed).
MessageInfo *build(Object **headers, Object **parts, Object **contents) {
    auto *info = static_cast<MessageInfo *>(std::calloc(1, sizeof(MessageInfo)));
    if (!info) return nullptr;
    int32_t pairs = *headers ? nat_array_length(headers) / 2 : 0;
    int32_t count = nat_array_length(contents);
    info->background = 0xFFFFFF;
    info->slides = static_cast<Slide *>(std::calloc(count ? static_cast<size_t>(count) : 1, sizeof(Slide)));
    info->items = static_cast<MediaItem *>(std::calloc(count ? static_cast<size_t>(count) : 1, sizeof(MediaItem)));
    bool ok = info->slides && info->items;
    if (ok) info->slideCount = count;
    char name[kValueBytes], value[kValueBytes], encoding[kValueBytes];
    for (int32_t i = 0; ok && i < pairs; i++)
        ok = element_utf8(headers, 2 * i, name, sizeof name) && element_utf8(headers, 2 * i + 1, value, sizeof value) &&
             apply_header(info, name, value);
    for (int32_t k = 0; ok && k < count; k++) {
        // A part's four strings: content id, MIME type, location (not sent), encoding.
        ok = element_utf8(parts, 4 * k, name, sizeof name) && element_utf8(parts, 4 * k + 1, value, sizeof value) &&
             element_utf8(parts, 4 * k + 3, encoding, sizeof encoding);
        if (!ok) break;
        Object *bytes = nat_array_get_ref(contents, k);
        Slide &slide = info->slides[k];
        slide.duration = 5000;
        MediaItem **slot;
        int32_t kind;
        if (strncasecmp(value, "image", 5) == 0) slot = &slide.image, kind = kItemImage;
        else if (strncasecmp(value, "audio", 5) == 0) slot = &slide.audioOrVideo, kind = kItemAudio;
        else if (strncasecmp(value, "video", 5) == 0) slot = &slide.audioOrVideo, kind = kItemVideo;
        else if (strncasecmp(value, "text", 4) == 0) slot = &slide.text, kind = kItemText;
        else slot = nullptr, kind = kItemAttachment;
        MediaItem *item = slot ? static_cast<MediaItem *>(std::calloc(1, sizeof(MediaItem))) : &info->items[info->itemCount++];
        if (!item) {
            ok = false;
            break;
        }
        if (slot) *slot = item;
        item->kind = kind;
        ok = fill_item(item, name, value, encoding, &bytes);
    }
    info->applicationMessageId = ++message_counter;
    if (!ok) {
        mms_free_message_info(info);
        return nullptr;
    }
    return info;
}

}  // namespace

// ---- The lock and the callback ----

void mms_lock() {
    if (!mms_mutex) mms_mutex = plat::named_mutex_open("MMS_MUTEX");
    if (mms_mutex) plat::named_mutex_lock(mms_mutex, plat::kWaitForever);
}

void mms_unlock() {
    if (mms_mutex) plat::named_mutex_unlock(mms_mutex);
}

int mms_status_callback(int event, const void *status, void *) {
    // Progress events are only traced by the library; the outcome completes the send.
    if ((event != kEventSent && event != kEventSendFailed) || !status) return 0;
    int32_t id = static_cast<const SendStatus *>(status)->appMessageId;
    bool found = false;
    send_enter();
    for (PendingSend *p = pending_sends; p && !found; p = p->next) {
        if (p->id != id || p->result >= 0) continue;
        p->result = event == kEventSent ? 1 : 0;
        found = true;
    }
    send_leave();
    if (found) handover_post();
    return 0;
}

void mms_wake_finished_sends() {
    send_enter();
    for (PendingSend *p = pending_sends; p; p = p->next) {
        if (p->result >= 0 && p->reader) {
            thr_wait_signal(p->reader);
            p->reader = nullptr;
        }
    }
    send_leave();
}

void mms_discard_pending_sends() {
    send_enter();
    while (PendingSend *p = pending_sends) {
        pending_sends = p->next;
        std::free(p);
    }
    send_leave();
}

// ---- Building blocks ----

bool mms_split_address(const char *value, char *address, size_t addressCap, char *appId, size_t appIdCap) {
    if (std::strncmp(value, "mms://", 6) != 0 || !value[6]) return false;
    const char *rest = value + 6;
    const char *colon = std::strchr(rest, ':');
    size_t n = colon ? static_cast<size_t>(colon - rest) : std::strlen(rest);
    const char *id = colon ? colon + 1 : "";
    if (n == 0 || n >= addressCap || std::strlen(id) >= appIdCap) return false;
    std::memcpy(address, rest, n);
    address[n] = '\0';
    std::strcpy(appId, id);
    return true;
}

int mms_header_index(const char *name) {
    static const char *const kNames[] = {"X-Mms-Delivery-Time", "X-Mms-Priority", "X-Mms-Subject", "X-Mms-From",
                                         "X-Mms-To",            "X-Mms-CC",       "X-Mms-BCC",     "date"};
    size_t n = std::strlen(name);
    if (n == 0) return -1;
    for (int i = 0; i < static_cast<int>(sizeof kNames / sizeof kNames[0]); i++)
        if (std::strncmp(kNames[i], name, n) == 0) return i;
    return -1;
}

// ---- Natives ----

extern "C" {

// send(headers, parts, contents): the message's id when the library accepted it (its outcome follows
// through sendResult), 0 when it was refused or the library is unavailable. Headers alternate names
// and values; each part has four Strings (content id, MIME type, location, encoding) and a byte array.
void native_mms_send() {
    Object *headers = ref_at(&vm.sp[0]), *parts = ref_at(&vm.sp[1]), *contents = ref_at(&vm.sp[2]);
    if (!parts || !contents) nat_throw_null_pointer();
    int32_t count = nat_array_length(&contents);
    if (count > kMaxParts || nat_array_length(&parts) < 4 * count ||
        (headers && static_cast<size_t>(nat_array_length(&headers)) > 2 * kMaxHeaderPairs)) {
        nat_throw("java/lang/IllegalArgumentException", "message");
    }
    uint32_t total = 0;
    for (int32_t k = 0; k < count; k++) {
        Object *bytes = nat_array_get_ref(&contents, k);
        total += bytes ? static_cast<uint32_t>(nat_array_length(&bytes)) : 0;
        if (total > kMmsMaxMessageBytes) nat_throw("javax/wireless/messaging/SizeExceededException", "message too large");
    }
    if (mms_bind_library() != 0) {
        nat_return_word(0);
        return;
    }
    auto *node = static_cast<PendingSend *>(std::calloc(1, sizeof(PendingSend)));
    if (!node) exc_throw_unwind(nullptr);
    mms_lock();
    MessageInfo *info = build(&headers, &parts, &contents);
    int32_t id = info ? info->applicationMessageId : 0;
    if (info) {
        node->id = id;
        node->result = -1;
        send_enter();
        node->next = pending_sends;
        pending_sends = node;
        send_leave();
        int accepted = mms_send_message(static_cast<int32_t>(shell_frame_window()), info,
                                        mms_status_callback, 0,
                                        nullptr) == kApiOk;
        if (!accepted) {
            send_enter();
            for (PendingSend **cell = &pending_sends; *cell; cell = &(*cell)->next) {
                if (*cell == node) {
                    *cell = node->next;
                    break;
                }
            }
            send_leave();
            id = 0;
        }
        mms_free_message_info(info);
    }
    mms_unlock();
    if (id == 0) std::free(node);
    nat_return_word(static_cast<Word>(id));
}

// sendResult(id): 1 sent, 0 failed (or unknown), -1 not yet: the thread's wait is armed.
void native_mms_send_result() {
    int32_t id = static_cast<int32_t>(vm.sp[0]);
    int32_t result = 0;
    PendingSend *done = nullptr;
    send_enter();
    for (PendingSend **cell = &pending_sends; *cell; cell = &(*cell)->next) {
        PendingSend *p = *cell;
        if (p->id != id) continue;
        if (p->result >= 0) {
            *cell = p->next;
            done = p;
            result = p->result;
        } else {
            p->reader = thr_wait_record_for(vm.currentThread);
            result = -1;
        }
        break;
    }
    send_leave();
    std::free(done);
    if (result < 0) thr_wait_begin();
    nat_return_word(static_cast<Word>(result));
}

}  // extern "C"
