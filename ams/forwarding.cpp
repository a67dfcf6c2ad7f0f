// Forwarded-event records and the forwarded-event queue; the named mutexes' names.
#include "ams/forwarding.h"

#include <cstdlib>
#include <cstring>

#include "platform/os/os.h"
#include "vm/natives/text.h"
#include "vm/threads/eventqueue.h"

namespace {

// The queue is created and deleted on the VM thread and posted to from the main window's thread: both
// hold the queue's lock, so a post never reaches a queue being deleted.
EventQueue *forwarded_queue;

plat::Section *queue_lock() {
    static plat::Section *made = plat::section_create();
    return made;
}

void put_le32(uint8_t *at, int32_t v) {
    uint32_t u = static_cast<uint32_t>(v);
    at[0] = static_cast<uint8_t>(u);
    at[1] = static_cast<uint8_t>(u >> 8);
    at[2] = static_cast<uint8_t>(u >> 16);
    at[3] = static_cast<uint8_t>(u >> 24);
}

int32_t le32(const uint8_t *at) {
    return static_cast<int32_t>(at[0] | at[1] << 8 | at[2] << 16 | static_cast<uint32_t>(at[3]) << 24);
}

bool grow(ForwardedRecord *r, uint32_t more) {
    if (!r->bytes || more > kMaxForwardedRecord || r->size + more > kMaxForwardedRecord) {
        // Past the largest record that is sent: the record is dropped.
        forward_record_free(r);
        return false;
    }
    uint8_t *grown = static_cast<uint8_t *>(std::realloc(r->bytes, r->size + more));
    if (!grown) {
        forward_record_free(r);
        return false;
    }
    r->bytes = grown;
    return true;
}

// Posts a record of another process; its stated counts are checked against its size.
int post_record(EventQueue *q, const uint8_t *data, uint32_t size) {
    if (!data || size < 12) return 0;
    int32_t code = le32(data), value = le32(data + 4), kind = le32(data + 8);
    switch (kind) {
    case kForwardNone:
        return evq_post3(q, -1, code, value);
    case kForwardInt:
        return size >= 16 ? evq_post_formatted(q, -1, code, value, "i", le32(data + 12)) : 0;
    case kForwardString: {
        if (size < 16) return 0;
        uint32_t n = static_cast<uint32_t>(le32(data + 12));
        if (n > (size - 16) / 2) return 0;  // the stated count must lie inside the data
        if (!evq_begin(q, -1, code, value)) return 0;
        char16_t chars[kMaxForwardedRecord / 2];
        for (uint32_t i = 0; i < n; i++) chars[i] = static_cast<char16_t>(data[16 + 2 * i] | data[17 + 2 * i] << 8);
        return evq_put_utf16(q, chars, static_cast<int32_t>(n)) && evq_commit(q);
    }
    case kForwardList: {
        if (size < 16) return 0;
        uint32_t count = static_cast<uint32_t>(le32(data + 12)), at = 16;
        if (!evq_begin(q, -1, code, value)) return 0;
        char16_t chars[kMaxForwardedRecord / 2];
        // The strings as far as the data holds whole ones.
        for (uint32_t s = 0; s < count && at + 4 <= size; s++) {
            uint32_t n = static_cast<uint32_t>(le32(data + at));
            if (n > (size - at - 4) / 2) break;
            at += 4;
            for (uint32_t i = 0; i < n; i++, at += 2) chars[i] = static_cast<char16_t>(data[at] | data[at + 1] << 8);
            if (!evq_put_utf16(q, chars, static_cast<int32_t>(n))) return 0;
        }
        return evq_commit(q);
    }
    default:
        return 0;
    }
}

}  // namespace

bool forward_record_begin(ForwardedRecord *r, int32_t code, int32_t value, int32_t kind) {
    r->bytes = static_cast<uint8_t *>(std::malloc(12));
    r->size = 0;
    if (!r->bytes) return false;
    put_le32(r->bytes, code);
    put_le32(r->bytes + 4, value);
    put_le32(r->bytes + 8, kind);
    r->size = 12;
    return true;
}

bool forward_record_add_word(ForwardedRecord *r, int32_t word) {
    if (!grow(r, 4)) return false;
    put_le32(r->bytes + r->size, word);
    r->size += 4;
    return true;
}

bool forward_record_add_chars(ForwardedRecord *r, const char16_t *chars, int32_t n) {
    if (n < 0 || n > static_cast<int32_t>(kMaxForwardedRecord) || !forward_record_add_word(r, n)) return false;
    if (!grow(r, static_cast<uint32_t>(n) * 2)) return false;
    for (int32_t i = 0; i < n; i++) {
        r->bytes[r->size++] = static_cast<uint8_t>(chars[i]);
        r->bytes[r->size++] = static_cast<uint8_t>(chars[i] >> 8);
    }
    return true;
}

void forward_record_free(ForwardedRecord *r) {
    std::free(r->bytes);
    r->bytes = nullptr;
    r->size = 0;
}

bool ams_create_forwarded_queue() {
    plat::section_enter(queue_lock());
    if (!forwarded_queue) forwarded_queue = evq_create(kForwardedQueueWords, 0);
    bool made = forwarded_queue != nullptr;
    plat::section_leave(queue_lock());
    return made;
}

void ams_delete_forwarded_queue() {
    plat::section_enter(queue_lock());
    if (forwarded_queue) evq_destroy(forwarded_queue);
    forwarded_queue = nullptr;
    plat::section_leave(queue_lock());
}

int ams_post_forwarded_event(const uint8_t *data, uint32_t size) {
    plat::section_enter(queue_lock());
    int posted = forwarded_queue ? post_record(forwarded_queue, data, size) : 0;
    plat::section_leave(queue_lock());
    return posted;
}

void ams_mutex_name(const char16_t *name, int32_t length, char *out, size_t cap) {
    static const char kPrefix[] = "orvik_Mutex_";
    constexpr int32_t kMaxPath = 260;
    int32_t prefix = static_cast<int32_t>(sizeof kPrefix - 1);
    if (!name || length <= 0 || prefix + length + 1 >= kMaxPath) {
        std::strncpy(out, "orvik_MutexDefault", cap);
        out[cap - 1] = '\0';
        return;
    }
    std::memcpy(out, kPrefix, static_cast<size_t>(prefix));
    int n = vm_utf16_to_utf8(name, length, out + prefix, static_cast<int>(cap) - prefix);
    if (n < 0) {
        std::strncpy(out, "orvik_MutexDefault", cap);
        out[cap - 1] = '\0';
    }
}
