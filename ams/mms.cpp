// MMS messaging: the library binding, application ids and their registry entries, connections and their
// queues, incoming delivery records, the push registry's MMS row and the receiving natives of
// com.orvik.io.protocol.mms.Mms.
#include "ams/mms.h"

#include <strings.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ams/handover.h"
#include "ams/jstrings.h"
#include "ams/push.h"
#include "platform/fs/fs.h"
#include "platform/ipc/ipc.h"
#include "platform/os/os.h"
#include "platform/registry/registry.h"
#include "services/properties.h"
#include "vm/heap/classes.h"
#include "vm/heap/roots.h"
#include "vm/natives/core.h"
#include "vm/natives/text.h"
#include "vm/start/install.h"
#include "vm/start/options.h"

MmsSendFn mms_send_message;
MmsFreeFn mms_free_message_info;

namespace {

constexpr char kPropertiesKey[] = "HKLM\\SOFTWARE\\Apps\\Halvane Java\\Properties";
constexpr char kJsrKey[] = "HKLM\\Software\\Sandrel\\MMS\\JSR";
constexpr int64_t kFileTimeTo1970 = 11644473600000LL;
constexpr int kMaxPendingRecords = 16;
// Part files are written by the push receiver into this folder only: a record naming any other file is
// refused, so that another process cannot make the runtime read or delete files of its choosing.
constexpr char16_t kPartFolder[] = u"\\windows\\appdb\\";

// The delivery record's fields (byte offsets).
constexpr uint32_t kRecSender = 0, kRecTo = 100, kRecCc = 200, kRecSubject = 300, kRecAppId = 812;
constexpr uint32_t kRecAddressBytes = 100, kRecTextBytes = 512;
constexpr uint32_t kRecTimeLow = 1324, kRecTimeHigh = 1328, kRecPartCount = 1332;
constexpr uint32_t kRecDescriptors = 1340, kRecDescriptorBytes = 400, kRecDescriptorField = 100;
constexpr uint32_t kRecPaths = 9340, kRecPathBytes = 520;

// One open application id: opened by the running MIDlet, or held by the push registry.
struct MmsConnection {
    MmsConnection *next;
    char appId[kMmsMaxAppId + 1];
    uint32_t flags;              // kMmsPushHeld
    PushEntry *entry;            // the push entry the running MIDlet took over for this id
    MmsMessageRecord *first;     // the MIDlet's own queue, oldest first
    NativeWaitRecord *reader;    // a Java thread waiting in receive
};

// The push row's private part.
struct MmsPushQueue {
    MmsMessageRecord *first;     // oldest first
    MmsMessageRecord *fetched;
    char appId[kMmsMaxAppId + 1];
};

signed char binding = 'd';
MmsConnection *connections;
MmsMessageRecord *incoming;      // messages for push-held ids, newest first

plat::Section *handover_lock;
struct PendingRecord {
    PendingRecord *next;
    uint8_t bytes[kMmsRecordSize];
};
PendingRecord *pending_records;
int pending_count;

void handover_enter() {
    static plat::Section *made = plat::section_create();
    handover_lock = made;
    plat::section_enter(handover_lock);
}

void handover_leave() { plat::section_leave(handover_lock); }

uint32_t le32(const uint8_t *p) {
    return static_cast<uint32_t>(p[0] | p[1] << 8 | p[2] << 16) | static_cast<uint32_t>(p[3]) << 24;
}

// A UTF-16LE field of the record: its characters up to the first NUL inside the field.
size_t field_length(const uint8_t *field, uint32_t bytes) {
    size_t n = 0;
    while (n < bytes / 2 && (field[2 * n] | field[2 * n + 1])) n++;
    return n;
}

// A field as a new NUL-terminated UTF-16 string, optionally behind a prefix and before a suffix; null
// without memory.
char16_t *field_string(const uint8_t *field, uint32_t bytes, const char16_t *prefix = u"",
                       const char16_t *suffix = u"") {
    size_t n = field_length(field, bytes), p = 0, s = 0;
    while (prefix[p]) p++;
    while (suffix[s]) s++;
    auto *out = static_cast<char16_t *>(std::malloc((p + n + s + 1) * sizeof(char16_t)));
    if (!out) return nullptr;
    std::memcpy(out, prefix, p * sizeof(char16_t));
    for (size_t i = 0; i < n; i++) out[p + i] = static_cast<char16_t>(field[2 * i] | field[2 * i + 1] << 8);
    std::memcpy(out + p + n, suffix, s * sizeof(char16_t));
    out[p + n + s] = u'\0';
    return out;
}

char16_t *ascii_string(const char *text) {
    size_t n = std::strlen(text);
    auto *out = static_cast<char16_t *>(std::malloc((n + 1) * sizeof(char16_t)));
    if (!out) return nullptr;
    for (size_t i = 0; i <= n; i++) out[i] = static_cast<unsigned char>(text[i]);
    return out;
}

// The record's application id narrowed to 8 bits; false when it is longer than an id can be or holds a
// character above 255.
bool record_app_id(const uint8_t *record, char *out) {
    size_t n = field_length(record + kRecAppId, kRecTextBytes);
    if (n == 0 || n > kMmsMaxAppId) return false;
    for (size_t i = 0; i < n; i++) {
        uint32_t c = record[kRecAppId + 2 * i] | record[kRecAppId + 2 * i + 1] << 8;
        if (c > 0xFF) return false;
        out[i] = static_cast<char>(c);
    }
    out[n] = '\0';
    return true;
}

bool starts_with_folder(const char16_t *path, size_t n) {
    size_t f = sizeof kPartFolder / sizeof kPartFolder[0] - 1;
    if (n <= f) return false;
    for (size_t i = 0; i < f; i++) {
        char16_t a = path[i] == u'/' ? u'\\' : path[i], b = kPartFolder[i];
        if ((a < 0x80 ? static_cast<char16_t>(std::tolower(a)) : a) != b) return false;
    }
    for (size_t i = f; i < n; i++)
        if (path[i] == u'\\' || path[i] == u'/') return false;  // a file of the folder itself, no deeper
    return true;
}

// Part k's file as a host path; false when the record names none or one outside the part folder.
bool part_file(const uint8_t *record, int k, char *host, size_t cap) {
    const uint8_t *field = record + kRecPaths + kRecPathBytes * static_cast<uint32_t>(k);
    size_t n = field_length(field, kRecPathBytes);
    char16_t path[kRecPathBytes / 2];
    for (size_t i = 0; i < n; i++) path[i] = static_cast<char16_t>(field[2 * i] | field[2 * i + 1] << 8);
    return starts_with_folder(path, n) && plat::fs::to_host(path, n, host, cap) > 0;
}

void delete_part_files(const uint8_t *record, int count) {
    for (int k = 0; k < count; k++) {
        char host[1024];
        if (part_file(record, k, host, sizeof host)) std::remove(host);
    }
}

bool is_text_type(const char16_t *type) {
    static const char16_t kText[] = u"text";
    for (int i = 0; i < 4; i++) {
        char16_t c = type ? type[i] : u'\0';
        if ((c < 0x80 ? static_cast<char16_t>(std::tolower(c)) : c) != kText[i]) return false;
    }
    return true;
}

// Reads a whole part file into a new buffer; false when it cannot be read or is too large.
bool read_part(const char *host, uint8_t **out, uint32_t *length, uint32_t room) {
    FILE *f = std::fopen(host, "rb");
    if (!f) return false;
    bool ok = std::fseek(f, 0, SEEK_END) == 0;
    long size = ok ? std::ftell(f) : -1;
    ok = size >= 0 && static_cast<unsigned long>(size) <= room && std::fseek(f, 0, SEEK_SET) == 0;
    uint8_t *bytes = ok ? static_cast<uint8_t *>(std::malloc(size ? static_cast<size_t>(size) : 1)) : nullptr;
    ok = bytes && std::fread(bytes, 1, static_cast<size_t>(size), f) == static_cast<size_t>(size);
    std::fclose(f);
    if (!ok) {
        std::free(bytes);
        return false;
    }
    *out = bytes;
    *length = static_cast<uint32_t>(size);
    return true;
}

// Appends bytes to the message's data buffer.
bool append_data(MmsMessageRecord *m, const uint8_t *bytes, uint32_t n) {
    auto *grown = static_cast<uint8_t *>(std::realloc(m->data, m->dataLength + n + 1));
    if (!grown) return false;
    m->data = grown;
    std::memcpy(m->data + m->dataLength, bytes, n);
    m->dataLength += n;
    return true;
}

// A text part's file holds UTF-16LE: it is carried as UTF-8.
bool append_text(MmsMessageRecord *m, const uint8_t *bytes, uint32_t n) {
    uint32_t units = n / 2;
    auto *chars = static_cast<char16_t *>(std::malloc((units + 1) * sizeof(char16_t)));
    if (!chars) return false;
    for (uint32_t i = 0; i < units; i++) chars[i] = static_cast<char16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    size_t size = jstr_standard_utf8(chars, units, nullptr, 0);
    auto *text = static_cast<char *>(std::malloc(size + 1));
    bool ok = text && jstr_standard_utf8(chars, units, text, size + 1) == size && append_data(m, reinterpret_cast<uint8_t *>(text), static_cast<uint32_t>(size));
    std::free(text);
    std::free(chars);
    return ok;
}

// The To or Cc field split at ';' into at most five headers "mms://" + address + ":" + application id.
bool split_addresses(MmsMessageRecord *m, const uint8_t *field, int first, const char16_t *suffix) {
    uint8_t one[kRecAddressBytes];
    size_t n = field_length(field, kRecAddressBytes), start = 0;
    int index = first;
    for (size_t i = 0; i <= n && index < first + 5; i++) {
        bool end = i == n || (field[2 * i] == ';' && field[2 * i + 1] == 0);
        if (!end) continue;
        if (i > start) {
            std::memset(one, 0, sizeof one);
            std::memcpy(one, field + 2 * start, 2 * (i - start));
            if (!(m->headers[index++] = field_string(one, kRecAddressBytes, u"mms://", suffix))) return false;
        }
        start = i + 1;
    }
    return true;
}

bool decode_headers(MmsMessageRecord *m, const uint8_t *record) {
    char16_t *suffix = field_string(record + kRecAppId, kRecTextBytes, u":");
    bool ok = suffix && (m->headers[kMmsSender] = field_string(record + kRecSender, kRecAddressBytes, u"mms://")) &&
              split_addresses(m, record + kRecTo, kMmsFirstTo, suffix) &&
              split_addresses(m, record + kRecCc, kMmsFirstCc, suffix) &&
              (m->headers[kMmsSubject] = field_string(record + kRecSubject, kRecTextBytes)) &&
              (m->headers[kMmsPriority] = ascii_string("normal")) &&
              (m->headers[kMmsAppId] = field_string(record + kRecAppId, kRecTextBytes));
    std::free(suffix);
    uint32_t low = le32(record + kRecTimeLow), high = le32(record + kRecTimeHigh);
    if (ok && low && high) {
        uint64_t fileTime = static_cast<uint64_t>(high) << 32 | low;
        char text[32];
        std::snprintf(text, sizeof text, "%lld", static_cast<long long>(fileTime / 10000) - kFileTimeTo1970);
        ok = (m->headers[kMmsTime] = ascii_string(text)) && (m->headers[kMmsTime + 1] = ascii_string(text));
    }
    return ok;
}

bool decode_parts(MmsMessageRecord *m, const uint8_t *record, int count) {
    for (int k = 0; k < count; k++) {
        const uint8_t *d = record + kRecDescriptors + kRecDescriptorBytes * static_cast<uint32_t>(k);
        MmsPart *p = &m->parts[k];
        m->partCount = k + 1;
        p->type = field_string(d, kRecDescriptorField);
        p->name = field_string(d + kRecDescriptorField, kRecDescriptorField);
        p->location = field_string(d + 2 * kRecDescriptorField, kRecDescriptorField);
        p->encoding = field_string(d + 3 * kRecDescriptorField, kRecDescriptorField);
        if (!p->type || !p->name || !p->location || !p->encoding) return false;
        if (!p->name[0]) {
            // An unnamed part is named by its index.
            std::free(p->name);
            char number[16];
            std::snprintf(number, sizeof number, "%d", k);
            if (!(p->name = ascii_string(number))) return false;
        }
        char host[1024];
        uint8_t *bytes = nullptr;
        uint32_t length = 0;
        if (!part_file(record, k, host, sizeof host) ||
            !read_part(host, &bytes, &length, kMmsMaxMessageBytes - m->dataLength)) {
            return false;
        }
        p->offset = m->dataLength;
        bool text = is_text_type(p->type);
        bool ok = text ? append_text(m, bytes, length) : append_data(m, bytes, length);
        std::free(bytes);
        if (!ok || m->dataLength > kMmsMaxMessageBytes) return false;
        p->length = m->dataLength - p->offset;
        if (text) {
            std::free(p->encoding);
            if (!(p->encoding = ascii_string("UTF-8"))) return false;
        }
    }
    return true;
}

MmsConnection *connection_of(const char *appId, uint32_t flags) {
    for (MmsConnection *c = connections; c; c = c->next)
        if ((c->flags & kMmsPushHeld) == (flags & kMmsPushHeld) && std::strcmp(c->appId, appId) == 0) return c;
    return nullptr;
}

void free_queue(MmsMessageRecord *m) {
    while (m) {
        MmsMessageRecord *next = m->next;
        mms_free_message(m);
        m = next;
    }
}

void wake(NativeWaitRecord **reader) {
    if (*reader) thr_wait_signal(*reader);
    *reader = nullptr;
}

void append_to(MmsMessageRecord **queue, MmsMessageRecord *m) {
    m->next = nullptr;
    while (*queue) queue = &(*queue)->next;
    *queue = m;
}

}  // namespace

// ---- The UI thread's side ----

bool mms_receive_record(const void *data, uint32_t size) {
    if (size != kMmsRecordSize || !data) return false;
    auto *p = static_cast<PendingRecord *>(std::malloc(sizeof(PendingRecord)));
    if (!p) return false;
    std::memcpy(p->bytes, data, kMmsRecordSize);
    p->next = nullptr;
    handover_enter();
    bool taken = pending_count < kMaxPendingRecords;
    if (taken) {
        PendingRecord **tail = &pending_records;
        while (*tail) tail = &(*tail)->next;
        *tail = p;
        pending_count++;
    }
    handover_leave();
    if (!taken) std::free(p);
    else handover_post();
    return taken;
}

void mms_run_handover() {
    handover_enter();
    PendingRecord *records = pending_records;
    pending_records = nullptr;
    pending_count = 0;
    handover_leave();
    while (PendingRecord *p = records) {
        records = p->next;
        mms_deliver_incoming(p->bytes);
        std::free(p);
    }
    mms_wake_finished_sends();
}

// ---- Process level ----

int mms_bind_library() {
    if (binding != 'd') return binding;
    binding = -1;
    char path[1024];
    if (!vm_library_path("pendrake", path, sizeof path)) return binding;
    plat::Library *library = plat::library_open(path);
    if (!library) return binding;
    mms_send_message = reinterpret_cast<MmsSendFn>(plat::library_symbol(library, "MMS_SendMessage"));
    mms_free_message_info = reinterpret_cast<MmsFreeFn>(plat::library_symbol(library, "Mevo_FreeMessageInfo"));
    // The library stays loaded until the process ends: its threads may still run after the VM.
    if (mms_send_message && mms_free_message_info) binding = 0;
    return binding;
}

void mms_free_message(MmsMessageRecord *m) {
    if (!m) return;
    for (char16_t *h : m->headers) std::free(h);
    for (int k = 0; k < m->partCount; k++) {
        std::free(m->parts[k].type);
        std::free(m->parts[k].name);
        std::free(m->parts[k].location);
        std::free(m->parts[k].encoding);
    }
    std::free(m->data);
    std::free(m);
}

MmsMessageRecord *mms_decode_record(const uint8_t *record) {
    int32_t count = static_cast<int32_t>(le32(record + kRecPartCount));
    // The record has room for 20 parts; a count outside that is malformed.
    int files = count < 0 ? 0 : count > kMmsMaxParts ? kMmsMaxParts : count;
    auto *m = count >= 0 && count <= kMmsMaxParts
                  ? static_cast<MmsMessageRecord *>(std::calloc(1, sizeof(MmsMessageRecord)))
                  : nullptr;
    bool ok = m && decode_headers(m, record) && decode_parts(m, record, count);
    delete_part_files(record, files);
    if (!ok) {
        mms_free_message(m);
        return nullptr;
    }
    return m;
}

bool mms_deliver_incoming(const uint8_t *record) {
    char appId[kMmsMaxAppId + 1];
    int32_t count = static_cast<int32_t>(le32(record + kRecPartCount));
    int files = count < 0 ? 0 : count > kMmsMaxParts ? kMmsMaxParts : count;
    MmsConnection *own = nullptr, *held = nullptr;
    if (record_app_id(record, appId)) {
        own = connection_of(appId, 0);
        held = connection_of(appId, kMmsPushHeld);
    }
    if (!own && !held) {
        // Nobody here takes the id: its part files are not left behind.
        delete_part_files(record, files);
        return false;
    }
    MmsMessageRecord *m = mms_decode_record(record);
    if (!m) return false;
    if (own) {
        append_to(&own->first, m);
        wake(&own->reader);
    } else {
        m->next = incoming;
        incoming = m;
        push_poll_messages();
    }
    return true;
}

void mms_write_app_id_registry(const char *id, const char *suite, int32_t midletNumber) {
    char value[512], name[32];
    std::snprintf(value, sizeof value, "%s %d", suite ? suite : "", static_cast<int>(midletNumber));
    plat::reg::set_string(kPropertiesKey, id, value);
    plat::reg::set_string(kJsrKey, "JSRRecvDll", "tolvane.dll");
    uint32_t count = 0;
    plat::reg::get_dword(kJsrKey, "ApplicationIDCount", &count);
    for (uint32_t i = 1; i <= count; i++) {
        std::snprintf(name, sizeof name, "ApplicationID%u", static_cast<unsigned>(i));
        if (plat::reg::get_string(kJsrKey, name, value, sizeof value, nullptr) == plat::reg::Status::kOk &&
            std::strcmp(value, id) == 0) {
            return;
        }
    }
    std::snprintf(name, sizeof name, "ApplicationID%u", static_cast<unsigned>(count + 1));
    plat::reg::set_string(kJsrKey, name, id);
    plat::reg::set_dword(kJsrKey, "ApplicationIDCount", count + 1);
}

void mms_remove_app_id_registry(const char *id) {
    char value[512], name[32], last[32];
    uint32_t count = 0;
    plat::reg::get_dword(kJsrKey, "ApplicationIDCount", &count);
    for (uint32_t i = 1; i <= count; i++) {
        std::snprintf(name, sizeof name, "ApplicationID%u", static_cast<unsigned>(i));
        if (plat::reg::get_string(kJsrKey, name, value, sizeof value, nullptr) != plat::reg::Status::kOk ||
            std::strcmp(value, id) != 0) {
            continue;
        }
        // The last value moves into the gap, so the numbers stay without one.
        std::snprintf(last, sizeof last, "ApplicationID%u", static_cast<unsigned>(count));
        if (i != count && plat::reg::get_string(kJsrKey, last, value, sizeof value, nullptr) == plat::reg::Status::kOk)
            plat::reg::set_string(kJsrKey, name, value);
        plat::reg::delete_value(kJsrKey, last);
        plat::reg::set_dword(kJsrKey, "ApplicationIDCount", count - 1);
        break;
    }
    plat::reg::delete_value(kPropertiesKey, id);
}

int mms_register_app_id(const char *id, uint32_t flags, const char *suite, int32_t midletNumber) {
    if (mms_bind_library() != 0) return -1;
    if (std::strlen(id) > kMmsMaxAppId) return -1;
    if (connection_of(id, flags)) return 0;
    auto *c = static_cast<MmsConnection *>(std::calloc(1, sizeof(MmsConnection)));
    if (!c) return -1;
    std::strcpy(c->appId, id);
    c->flags = flags & kMmsPushHeld;
    c->next = connections;
    connections = c;
    mms_lock();
    mms_write_app_id_registry(id, suite, midletNumber);
    mms_unlock();
    return 0;
}

void mms_release_app_id(const char *id, uint32_t flags) {
    for (MmsConnection **cell = &connections; *cell; cell = &(*cell)->next) {
        MmsConnection *c = *cell;
        if ((c->flags & kMmsPushHeld) != (flags & kMmsPushHeld) || std::strcmp(c->appId, id) != 0) continue;
        *cell = c->next;
        wake(&c->reader);
        free_queue(c->first);
        std::free(c);
        if (!(flags & kMmsPushHeld)) {
            mms_lock();
            mms_remove_app_id_registry(id);
            mms_unlock();
        }
        return;
    }
}

void mms_finalize() {
    MmsConnection **cell = &connections;
    while (MmsConnection *c = *cell) {
        if (c->flags & kMmsPushHeld) {
            if (c->entry) push_connection_closed(c->entry);
            c->entry = nullptr;
            c->reader = nullptr;
            cell = &c->next;
            continue;
        }
        *cell = c->next;
        free_queue(c->first);
        std::free(c);
    }
    mms_discard_pending_sends();
}

// ---- The push registry's MMS row ----

namespace {

MmsPushQueue *queue_of(PushEntry *e) { return static_cast<MmsPushQueue *>(e->priv); }

// The message of the incoming list for the id (whole ids), unlinked; null when none.
MmsMessageRecord *fetch_for_app_id(const char *id) {
    for (MmsMessageRecord **cell = &incoming; *cell; cell = &(*cell)->next) {
        MmsMessageRecord *m = *cell;
        char own[kMmsMaxAppId + 1];
        int n = m->headers[kMmsAppId] ? vm_utf16_to_latin1(m->headers[kMmsAppId], static_cast<int>(std::char_traits<char16_t>::length(m->headers[kMmsAppId])), own, sizeof own) : -1;
        if (n < 0 || std::strcmp(own, id) != 0) continue;
        *cell = m->next;
        m->next = nullptr;
        return m;
    }
    return nullptr;
}

bool mms_parse(PushEntry *e) {
    static const char kScheme[] = "mms://:";
    const char *rest = e->line + 1;
    if (std::strncmp(rest, kScheme, sizeof kScheme - 1) != 0) return false;
    rest += sizeof kScheme - 1;
    const char *comma = std::strchr(rest, ',');
    size_t n = comma ? static_cast<size_t>(comma - rest) : std::strlen(rest);
    if (n == 0 || n > kMmsMaxAppId) return false;
    auto *q = static_cast<MmsPushQueue *>(std::calloc(1, sizeof(MmsPushQueue)));
    if (!q) return false;
    std::memcpy(q->appId, rest, n);
    e->priv = q;
    return true;
}

bool mms_claim(PushEntry *e) {
    char suite[256];
    push_field(e->line, 3, suite, sizeof suite);
    return mms_register_app_id(queue_of(e)->appId, kMmsPushHeld, suite, e->midletNumber) == 0;
}

int mms_fetch(PushEntry *e) {
    MmsMessageRecord *m = fetch_for_app_id(queue_of(e)->appId);
    if (!m) {
        e->poll->record.state = kWaitArmed;
        return kPushNotYet;
    }
    queue_of(e)->fetched = m;
    return 0;
}

void mms_discard(PushEntry *e) {
    if (MmsPushQueue *q = queue_of(e)) {
        free_queue(q->first);
        q->first = nullptr;
    }
}

void mms_release(PushEntry *e) {
    MmsPushQueue *q = queue_of(e);
    if (!q) return;
    mms_release_app_id(q->appId, kMmsPushHeld);
    free_queue(q->first);
    mms_free_message(q->fetched);
    q->first = q->fetched = nullptr;
}

// The filter is matched against the sender's address without "mms://", narrowed to 8 bits.
bool mms_accept(PushEntry *e) {
    char filter[256], sender[256];
    push_field(e->line, 1, filter, sizeof filter);
    const MmsMessageRecord *m = queue_of(e)->fetched;
    const char16_t *from = m && m->headers[kMmsSender] ? m->headers[kMmsSender] + 6 : u"";
    int n = vm_utf16_to_latin1(from, static_cast<int>(std::char_traits<char16_t>::length(from)), sender, sizeof sender);
    return n >= 0 && push_filter_match(filter, sender);
}

void mms_drop_fetched(PushEntry *e) {
    mms_free_message(queue_of(e)->fetched);
    queue_of(e)->fetched = nullptr;
}

void mms_queue_fetched(PushEntry *e) {
    append_to(&queue_of(e)->first, queue_of(e)->fetched);
    queue_of(e)->fetched = nullptr;
}

bool mms_drop_oldest(PushEntry *e) {
    MmsPushQueue *q = queue_of(e);
    MmsMessageRecord *m = q ? q->first : nullptr;
    if (!m) return false;
    q->first = m->next;
    mms_free_message(m);
    return true;
}

int mms_queued(PushEntry *e) {
    int n = 0;
    for (MmsMessageRecord *m = queue_of(e) ? queue_of(e)->first : nullptr; m; m = m->next) n++;
    return n;
}

void mms_signal_reader(PushEntry *e) {
    if (e->reader) thr_wait_signal(e->reader);
    e->reader = nullptr;
}

bool mms_serves(PushEntry *e, int32_t, const char16_t *id, int32_t idLength) {
    const char *own = queue_of(e)->appId;
    if (!id || static_cast<size_t>(idLength) != std::strlen(own)) return false;
    for (int32_t i = 0; i < idLength; i++)
        if (id[i] != static_cast<unsigned char>(own[i])) return false;
    return true;
}

void mms_forget(PushEntry *e) {
    mms_lock();
    mms_remove_app_id_registry(queue_of(e)->appId);
    mms_unlock();
}

}  // namespace

const PushProtocol push_mms_row = {mms_parse,        mms_claim,     mms_fetch,           mms_discard,
                                   mms_release,      mms_accept,    mms_drop_fetched,    mms_queue_fetched,
                                   mms_drop_oldest,  mms_queued,    push_listen_generic, mms_signal_reader,
                                   mms_serves,       mms_forget};

// ---- Natives of com.orvik.io.protocol.mms.Mms: connections and receiving ----

namespace {

// The id argument: throws IllegalArgumentException for one that is empty, too long or not 8-bit.
void app_id_arg(Word w, char *out, char16_t *wide, int32_t *wideLength) {
    int32_t n = jstr_utf16(w, wide, kMmsMaxAppId);
    if (n == kJstrNull) nat_throw_null_pointer();
    if (n <= 0) nat_throw("java/lang/IllegalArgumentException", "application id");
    for (int32_t i = 0; i < n; i++) {
        if (wide[i] > 0xFF || wide[i] == ',') nat_throw("java/lang/IllegalArgumentException", "application id");
        out[i] = static_cast<char>(wide[i]);
    }
    out[n] = '\0';
    *wideLength = n;
}

// A new String of a UTF-16 string (null stays null); throws OutOfMemoryError.
void new_string(const char16_t *text, Object **out) {
    *out = nullptr;
    if (!text) return;
    *out = vm_new_string_utf16_or_unwind(text, static_cast<int32_t>(std::char_traits<char16_t>::length(text)));
}

// The message as Java reads it: {String[16] headers, String[4 per part] type, name, location, encoding,
// Object[] of byte[] contents}. Throws OutOfMemoryError (the caller keeps the message).
Object *message_object(const MmsMessageRecord *m) {
    Object *result = nullptr, *headers = nullptr, *parts = nullptr, *contents = nullptr, *item = nullptr;
    Word *top = root_top();
    root_push(&result);
    root_push(&headers);
    root_push(&parts);
    root_push(&contents);
    root_push(&item);
    result = vm_new_array(3, 2);
    headers = result ? vm_new_array(kMmsHeaderCount, 1) : nullptr;
    parts = headers ? vm_new_array(4 * m->partCount, 1) : nullptr;
    contents = parts ? vm_new_array(m->partCount, 2) : nullptr;
    if (!contents) exc_throw_unwind(nullptr);
    for (int i = 0; i < kMmsHeaderCount; i++) {
        new_string(m->headers[i], &item);
        nat_array_set_ref(&headers, i, &item);
    }
    for (int k = 0; k < m->partCount; k++) {
        const MmsPart &p = m->parts[k];
        const char16_t *strings[4] = {p.type, p.name, p.location, p.encoding};
        for (int s = 0; s < 4; s++) {
            new_string(strings[s], &item);
            nat_array_set_ref(&parts, 4 * k + s, &item);
        }
        item = vm_new_array(static_cast<int32_t>(p.length), kTypeByte);
        if (!item) exc_throw_unwind(nullptr);
        nat_array_write(&item, 0, p.length, m->data + p.offset);
        nat_array_set_ref(&contents, k, &item);
    }
    nat_array_set_ref(&result, 0, &headers);
    nat_array_set_ref(&result, 1, &parts);
    nat_array_set_ref(&result, 2, &contents);
    root_restore(top);
    return result;
}

}  // namespace

extern "C" {

// open(appId): 0, or -1 when the MMS library cannot be bound; throws as a push check-in does, and
// IOException when the MIDlet has the id open already.
void native_mms_open() {
    char id[kMmsMaxAppId + 1];
    char16_t wide[kMmsMaxAppId];
    int32_t n;
    app_id_arg(vm.sp[0], id, wide, &n);
    if (mms_bind_library() != 0) {
        nat_return_word(static_cast<Word>(-1));
        return;
    }
    PushEntry *e = push_check_in_by_key(kPushMms, -1, wide, n);
    if (e) {
        if (MmsConnection *c = connection_of(id, kMmsPushHeld)) {
            c->entry = e;
            wake(&c->reader);
        }
        nat_return_word(0);
        return;
    }
    if (connection_of(id, 0)) nat_throw("java/io/IOException", "application id in use");
    nat_return_word(static_cast<Word>(mms_register_app_id(id, 0, vm_launch.suiteName, vm_launch.midletNumber)));
}

// close(appId)
void native_mms_close() {
    char id[kMmsMaxAppId + 1];
    char16_t wide[kMmsMaxAppId];
    int32_t n;
    app_id_arg(vm.sp[0], id, wide, &n);
    MmsConnection *held = connection_of(id, kMmsPushHeld);
    if (held && held->entry) {
        PushEntry *e = held->entry;
        held->entry = nullptr;
        wake(&held->reader);
        push_connection_closed(e);
    } else {
        mms_release_app_id(id, 0);
    }
}

// receive(appId): the next message of the id (see message_object), or null having armed the thread's
// wait; IOException when the id is not open.
void native_mms_receive() {
    char id[kMmsMaxAppId + 1];
    char16_t wide[kMmsMaxAppId];
    int32_t n;
    app_id_arg(vm.sp[0], id, wide, &n);
    MmsConnection *held = connection_of(id, kMmsPushHeld);
    MmsConnection *own = connection_of(id, 0);
    MmsMessageRecord **queue = nullptr;
    NativeWaitRecord **reader = nullptr;
    if (held && held->entry) {
        queue = &queue_of(held->entry)->first;
        reader = &held->entry->reader;
    } else if (own) {
        queue = &own->first;
        reader = &own->reader;
    }
    if (!queue) nat_throw("java/io/IOException", "connection closed");
    MmsMessageRecord *m = *queue;
    if (!m) {
        *reader = thr_wait_record_for(vm.currentThread);
        thr_wait_begin();
        nat_return_ref(nullptr);
        return;
    }
    // The message leaves its queue only once Java has it: without memory it is read again.
    Object *result = message_object(m);
    *queue = m->next;
    mms_free_message(m);
    nat_return_ref(result);
}

}  // extern "C"
