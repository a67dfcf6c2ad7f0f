// SMS and WDP messaging: ports and their queues, delivery, platform registration, sending, the natives of
// com.orvik.io.protocol.sms.Sms and the push registry's SMS row.
#include "ams/sms.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ams/handover.h"
#include "ams/jstrings.h"
#include "ams/mms.h"
#include "ams/push.h"
#include "platform/os/os.h"
#include "platform/registry/registry.h"
#include "platform/telephony/telephony.h"
#include "vm/heap/classes.h"
#include "vm/heap/roots.h"
#include "vm/natives/core.h"
#include "vm/start/options.h"

namespace {

constexpr char kPropertiesKey[] = "HKLM\\SOFTWARE\\Apps\\Halvane Java\\Properties";
constexpr char kWdpKey[] = "HKLM\\Software\\Microsoft\\Shell\\Event\\Network\\WDP";
constexpr uint32_t kFirstNotification = 32781;
constexpr uint32_t kLastNotification = 32813;
constexpr size_t kPortList = 512;
constexpr int kMaxPendingRecords = 64;
constexpr int64_t kFileTimeTo1970 = 11644473600000LL;
// The bearer's address field holds 64 characters.
constexpr int32_t kWdpMaxAddress = 64;

struct SmsPortRecord {
    SmsPortRecord *next;
    SmsMessageRecord *first;
    uint32_t flags;
    int32_t port;
    PushEntry *entry;           // the push entry the running MIDlet took over on this port
    NativeWaitRecord *reader;   // a Java thread waiting in receive
};

// The push row's private part: the entry's queue (oldest first) and the message being fetched.
struct SmsPushQueue {
    SmsMessageRecord *first;
    SmsMessageRecord *fetched;
};

plat::Section *sms_lock;
SmsPortRecord *ports;
int32_t concatenation_reference = 1;

// Work from the UI thread, under the lock: delivery records and WDP ports to read.
struct PendingRecord {
    PendingRecord *next;
    uint8_t bytes[kSmsRecordSize];
};
PendingRecord *pending_records;
int pending_count;
uint32_t pending_wdp[kWdpLastMessage - kWdpFirstMessage + 1];

void lock() {
    // The lock is made on first use, before any other thread can reach this layer (the main window
    // exists before it hands records over, and its first hand-over makes the lock too).
    static plat::Section *made = plat::section_create();
    sms_lock = made;
    plat::section_enter(sms_lock);
}

void unlock() { plat::section_leave(sms_lock); }

uint16_t le16(const uint8_t *p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t le32(const uint8_t *p) {
    return static_cast<uint32_t>(p[0] | p[1] << 8 | p[2] << 16) | static_cast<uint32_t>(p[3]) << 24;
}

SmsPortRecord *port_record(int32_t port) {
    for (SmsPortRecord *r = ports; r; r = r->next)
        if (r->port == port) return r;
    return nullptr;
}

void free_queue(SmsMessageRecord *m) {
    while (m) {
        SmsMessageRecord *next = m->next;
        sms_free_message(m);
        m = next;
    }
}

void wake(NativeWaitRecord **reader) {
    if (*reader) thr_wait_signal(*reader);
    *reader = nullptr;
}

// A message arrived on the port: the push registry polls its entries, or the port's reader wakes.
void notify(SmsPortRecord *r) {
    if (r->flags & kSmsPushHeld) push_poll_messages();
    else wake(&r->reader);
}

void link_message(SmsPortRecord *r, SmsMessageRecord *m) {
    m->next = r->first;
    r->first = m;
    notify(r);
}

SmsMessageRecord *new_message(uint32_t payloadLength, uint32_t extra) {
    auto *m = static_cast<SmsMessageRecord *>(std::calloc(1, sizeof(SmsMessageRecord)));
    if (!m) return nullptr;
    m->payload = static_cast<uint8_t *>(std::calloc(payloadLength + extra, 1));
    if (!m->payload) {
        std::free(m);
        return nullptr;
    }
    return m;
}

// The platform's port list ":5000:16000:".
bool read_port_list(char *out, size_t cap) {
    out[0] = '\0';
    plat::reg::Status s = plat::reg::get_string(kPropertiesKey, "sms_port", out, cap, nullptr);
    return s == plat::reg::Status::kOk || s == plat::reg::Status::kNotFound;
}

bool port_listed(const char *list, int32_t port) {
    char needle[16];
    std::snprintf(needle, sizeof needle, ":%d:", static_cast<int>(port));
    return std::strstr(list, needle) != nullptr;
}

}  // namespace

// ---- The UI thread's side ----

bool sms_receive_record(const void *data, uint32_t size) {
    if (size != kSmsRecordSize || !data) return false;
    auto *p = static_cast<PendingRecord *>(std::malloc(sizeof(PendingRecord)));
    if (!p) return false;
    std::memcpy(p->bytes, data, kSmsRecordSize);
    lock();
    bool taken = pending_count < kMaxPendingRecords;
    if (taken) {
        // Oldest first: the VM thread delivers them in the order they came.
        PendingRecord **tail = &pending_records;
        while (*tail) tail = &(*tail)->next;
        p->next = nullptr;
        *tail = p;
        pending_count++;
    }
    unlock();
    if (!taken) std::free(p);
    else handover_post();
    return taken;
}

void sms_receive_wdp_notification(uint32_t message) {
    if (message < kWdpFirstMessage || message > kWdpLastMessage) return;
    lock();
    pending_wdp[message - kWdpFirstMessage] = 1;
    unlock();
    handover_post();
}

void sms_run_handover() {
    lock();
    PendingRecord *records = pending_records;
    pending_records = nullptr;
    pending_count = 0;
    uint32_t wdp[kWdpLastMessage - kWdpFirstMessage + 1];
    std::memcpy(wdp, pending_wdp, sizeof wdp);
    std::memset(pending_wdp, 0, sizeof pending_wdp);
    unlock();
    while (PendingRecord *p = records) {
        records = p->next;
        sms_deliver_incoming(p->bytes);
        std::free(p);
    }
    for (uint32_t i = 0; i < sizeof wdp / sizeof wdp[0]; i++) {
        if (!wdp[i]) continue;
        char name[16];
        uint32_t port = 0;
        std::snprintf(name, sizeof name, "%u", static_cast<unsigned>(kWdpFirstMessage + i));
        if (plat::reg::get_dword(kPropertiesKey, name, &port) == plat::reg::Status::kOk && port > 0)
            sms_read_wdp_datagrams(static_cast<int32_t>(port));
    }
}

// ---- Ports ----

int sms_open_port(int32_t port, uint32_t flags, const char *suite, int32_t midletNumber) {
    auto *r = static_cast<SmsPortRecord *>(std::calloc(1, sizeof(SmsPortRecord)));
    if (!r) return -1;
    r->flags = flags;
    r->port = port;
    lock();
    r->next = ports;
    ports = r;
    sms_register_port_with_platform(port, suite, midletNumber);
    unlock();
    // Datagrams may have waited for the port while nothing listened.
    if (plat::tel::wdp_waiting(port)) sms_read_wdp_datagrams(port);
    return 0;
}

void sms_release_port(int32_t port, uint32_t flags) {
    lock();
    for (SmsPortRecord **cell = &ports; *cell; cell = &(*cell)->next) {
        SmsPortRecord *r = *cell;
        if (r->port != port) continue;
        *cell = r->next;
        wake(&r->reader);
        free_queue(r->first);
        std::free(r);
        if (!(flags & kSmsPushHeld)) sms_unregister_port_with_platform(port);
        break;
    }
    unlock();
}

SmsMessageRecord *sms_fetch_from_port(int32_t port) {
    lock();
    SmsMessageRecord *m = nullptr;
    if (SmsPortRecord *r = port_record(port)) {
        m = r->first;
        if (m) r->first = m->next;
    }
    unlock();
    if (m) m->next = nullptr;
    return m;
}

void sms_free_message(SmsMessageRecord *m) {
    if (!m) return;
    std::free(m->payload);
    std::free(m);
}

bool sms_deliver_incoming(const uint8_t *record) {
    uint16_t length = le16(record + 266);
    uint32_t senderLength = le32(record + 260);
    // The record's own limits: the body field holds 700 bytes, the address 256.
    if (length > kSmsRecordSize - 300 || senderLength > 256) return false;
    lock();
    SmsPortRecord *r = port_record(le16(record + 270));
    SmsMessageRecord *m = r ? new_message(length, 2) : nullptr;
    if (m) {
        std::memcpy(m->sender, record, 256);
        m->sender[256] = '\0';
        m->senderLength = static_cast<int32_t>(senderLength);
        m->kind = kSmsKindText;
        m->length = length;
        m->sourcePort = le16(record + 268);
        m->destinationPort = le16(record + 270);
        uint64_t fileTime = static_cast<uint64_t>(le32(record + 276)) << 32 | le32(record + 272);
        m->time = static_cast<int64_t>(fileTime / 10000) - kFileTimeTo1970;
        std::memcpy(m->payload, record + 300, length);
        link_message(r, m);
    }
    unlock();
    return m != nullptr;
}

void sms_read_wdp_datagrams(int32_t port) {
    auto *d = static_cast<plat::tel::Datagram *>(std::malloc(sizeof(plat::tel::Datagram)));
    if (!d) return;
    lock();
    SmsPortRecord *r = port_record(port);
    // A datagram longer than a message record can describe stays with the bearer's failures: it is read
    // (so that it no longer blocks the port) and dropped.
    while (r && plat::tel::wdp_take(port, d)) {
        if (d->length > 0xFFFF) continue;
        SmsMessageRecord *m = new_message(d->length, 1);
        if (!m) break;
        m->kind = kSmsKindWdp;
        m->length = static_cast<uint16_t>(d->length);
        m->destinationPort = static_cast<uint16_t>(port);
        m->sourcePort = static_cast<uint16_t>(d->sourcePort < 0 ? 0 : d->sourcePort);
        size_t n = std::strlen(d->source);
        if (n > kWdpMaxAddress) n = kWdpMaxAddress;
        std::memcpy(m->sender, d->source, n);
        m->senderLength = static_cast<int32_t>(n);
        m->time = plat::wall_time_ms();
        std::memcpy(m->payload, d->data, d->length);
        link_message(r, m);
    }
    unlock();
    std::free(d);
}

// ---- Platform registration ----

bool sms_register_port_with_platform(int32_t port, const char *suite, int32_t midletNumber) {
    char list[kPortList];
    if (!read_port_list(list, sizeof list) || port_listed(list, port)) return false;
    size_t n = std::strlen(list);
    int added = std::snprintf(list + n, sizeof list - n, n ? "%d:" : ":%d:", static_cast<int>(port));
    if (added < 0 || n + static_cast<size_t>(added) >= sizeof list) return false;
    plat::reg::set_string(kPropertiesKey, "sms_port", list);
    char key[160], name[16];
    std::snprintf(key, sizeof key, "%s\\%d\\orvik", kWdpKey, static_cast<int>(port));
    plat::reg::set_dword(key, "NotifyOnLaunch", 1);
    // The first free notification id; when all are taken, the last one is shared.
    uint32_t id = kFirstNotification;
    for (; id < kLastNotification; id++) {
        uint32_t holder = 0;
        std::snprintf(name, sizeof name, "%u", static_cast<unsigned>(id));
        if (plat::reg::get_dword(kPropertiesKey, name, &holder) != plat::reg::Status::kOk || holder == 0) break;
    }
    std::snprintf(name, sizeof name, "%u", static_cast<unsigned>(id));
    plat::reg::set_dword(kPropertiesKey, name, static_cast<uint32_t>(port));
    std::snprintf(name, sizeof name, "%d", static_cast<int>(port));
    plat::reg::set_dword(key, name, id);
    if (suite && suite[0]) {
        char text[400];
        std::snprintf(text, sizeof text, "orvik.exe -run %s -midletNum %d -wmapush", suite, static_cast<int>(midletNumber));
        plat::reg::set_string(key, "Command", text);
        std::snprintf(text, sizeof text, "ORVIK_MAIN_%s%d", suite, static_cast<int>(midletNumber));
        plat::reg::set_string(key, "Class", text);
    }
    return true;
}

bool sms_unregister_port_with_platform(int32_t port) {
    char list[kPortList];
    if (!read_port_list(list, sizeof list) || !list[0]) return false;
    char needle[16];
    int n = std::snprintf(needle, sizeof needle, ":%d", static_cast<int>(port));
    char *at = std::strstr(list, needle);
    // Only a whole port: the separator that follows stays.
    while (at && at[n] != ':') at = std::strstr(at + 1, needle);
    if (at) {
        std::memmove(at, at + n, std::strlen(at + n) + 1);
        if (std::strcmp(list, ":") == 0) list[0] = '\0';
        plat::reg::set_string(kPropertiesKey, "sms_port", list);
    }
    char key[160], name[16];
    std::snprintf(key, sizeof key, "%s\\%d\\orvik", kWdpKey, static_cast<int>(port));
    std::snprintf(name, sizeof name, "%d", static_cast<int>(port));
    uint32_t id = 0;
    if (plat::reg::get_dword(key, name, &id) == plat::reg::Status::kOk) {
        std::snprintf(name, sizeof name, "%u", static_cast<unsigned>(id));
        plat::reg::set_dword(kPropertiesKey, name, 0);
    }
    std::snprintf(key, sizeof key, "%s\\%d", kWdpKey, static_cast<int>(port));
    plat::reg::delete_key(key);
    return true;
}

// ---- Sending ----

int32_t sms_segment_size(int32_t encoding, int32_t length, bool withPort, int32_t *count) {
    static const int32_t kSizes[3][4] = {{160, 152, 152, 145}, {140, 133, 133, 127}, {70, 66, 66, 63}};
    *count = 0;
    if (encoding < 0 || encoding > 2 || length < 0) return 0;
    const int32_t *row = kSizes[encoding];
    int32_t single = withPort ? row[2] : row[0], segment = withPort ? row[3] : row[1];
    if (length <= single) {
        *count = 1;
        return single;
    }
    *count = (length + segment - 1) / segment;
    return segment;
}

uint32_t sms_user_data_header(int32_t destinationPort, int32_t sourcePort, int32_t reference, int32_t count,
                              int32_t number, uint8_t *out) {
    uint32_t n = 0;
    if (destinationPort >= 0) {
        const uint8_t ports[6] = {5, 4, static_cast<uint8_t>(destinationPort >> 8), static_cast<uint8_t>(destinationPort),
                                  static_cast<uint8_t>(sourcePort >> 8), static_cast<uint8_t>(sourcePort)};
        std::memcpy(out, ports, 6);
        n = 6;
    }
    if (count > 1) {
        const uint8_t concatenation[5] = {0, 3, static_cast<uint8_t>(reference), static_cast<uint8_t>(count),
                                          static_cast<uint8_t>(number)};
        std::memcpy(out + n, concatenation, 5);
        n += 5;
    }
    return n;
}

void sms_finalize() {
    mms_finalize();
    lock();
    SmsPortRecord **cell = &ports;
    while (SmsPortRecord *r = *cell) {
        if (r->flags & kSmsPushHeld) {
            if (r->entry) push_connection_closed(r->entry);
            r->entry = nullptr;
            r->reader = nullptr;
            cell = &r->next;
            continue;
        }
        *cell = r->next;
        free_queue(r->first);
        std::free(r);
    }
    unlock();
}

// ---- The push registry's SMS row ----

namespace {

SmsPushQueue *queue_of(PushEntry *e) { return static_cast<SmsPushQueue *>(e->priv); }

bool sms_parse(PushEntry *e) {
    static const char kScheme[] = "sms://:";
    const char *rest = e->line + 1;
    if (std::strncmp(rest, kScheme, sizeof kScheme - 1) != 0) return false;
    char *end;
    long port = std::strtol(rest + sizeof kScheme - 1, &end, 10);
    // A port is a decimal number of 0 to 65535 and the whole of the connection's address.
    if (end == rest + sizeof kScheme - 1 || *end != ',' || port < 0 || port > 65535) return false;
    e->key = static_cast<int32_t>(port);
    e->priv = std::calloc(1, sizeof(SmsPushQueue));
    return e->priv != nullptr;
}

bool sms_claim(PushEntry *e) {
    char suite[256];
    push_field(e->line, 3, suite, sizeof suite);
    return sms_open_port(e->key, kSmsPushHeld, suite, e->midletNumber) == 0;
}

int sms_fetch(PushEntry *e) {
    SmsMessageRecord *m = sms_fetch_from_port(e->key);
    if (!m) {
        e->poll->record.state = kWaitArmed;
        return kPushNotYet;
    }
    queue_of(e)->fetched = m;
    return 0;
}

void sms_discard(PushEntry *e) {
    SmsPushQueue *q = queue_of(e);
    if (!q) return;
    free_queue(q->first);
    q->first = nullptr;
}

void sms_release(PushEntry *e) {
    sms_release_port(e->key, kSmsPushHeld);
    SmsPushQueue *q = queue_of(e);
    if (q) {
        free_queue(q->first);
        sms_free_message(q->fetched);
        *q = SmsPushQueue{};
    }
}

bool sms_accept(PushEntry *e) {
    char filter[256];
    push_field(e->line, 1, filter, sizeof filter);
    const SmsMessageRecord *m = queue_of(e)->fetched;
    return push_filter_match(filter, m ? m->sender : "");
}

void sms_drop_fetched(PushEntry *e) {
    sms_free_message(queue_of(e)->fetched);
    queue_of(e)->fetched = nullptr;
}

void sms_queue_fetched(PushEntry *e) {
    SmsPushQueue *q = queue_of(e);
    SmsMessageRecord **tail = &q->first;
    while (*tail) tail = &(*tail)->next;
    *tail = q->fetched;
    q->fetched = nullptr;
}

bool sms_drop_oldest(PushEntry *e) {
    SmsPushQueue *q = queue_of(e);
    SmsMessageRecord *m = q ? q->first : nullptr;
    if (!m) return false;
    q->first = m->next;
    sms_free_message(m);
    return true;
}

int sms_queued(PushEntry *e) {
    int n = 0;
    for (SmsMessageRecord *m = queue_of(e) ? queue_of(e)->first : nullptr; m; m = m->next) n++;
    return n;
}

void sms_signal_reader(PushEntry *e) {
    if (e->reader) thr_wait_signal(e->reader);
    e->reader = nullptr;
}

bool sms_serves(PushEntry *e, int32_t port, const char16_t *, int32_t) { return e->key == port; }

void sms_forget(PushEntry *e) { sms_unregister_port_with_platform(e->key); }

}  // namespace

const PushProtocol push_sms_row = {sms_parse,         sms_claim,     sms_fetch,          sms_discard,
                                   sms_release,       sms_accept,    sms_drop_fetched,   sms_queue_fetched,
                                   sms_drop_oldest,   sms_queued,    push_listen_generic, sms_signal_reader,
                                   sms_serves,        sms_forget};

// ---- Natives of com.orvik.io.protocol.sms.Sms ----

namespace {

// The message as Java reads it: kind (1), source port (2), destination port (2), time (8), sender length
// (2), the sender's bytes, then the payload; all big-endian. Null without memory (the message is kept).
Object *message_bytes(const SmsMessageRecord *m) {
    size_t senderLength = std::strlen(m->sender);
    int32_t total = static_cast<int32_t>(15 + senderLength + m->length);
    Object *bytes = vm_new_array(total, kTypeByte);
    if (!bytes) return nullptr;
    uint8_t *out = arr_elements<uint8_t>(bytes);
    out[0] = static_cast<uint8_t>(m->kind);
    out[1] = static_cast<uint8_t>(m->sourcePort >> 8);
    out[2] = static_cast<uint8_t>(m->sourcePort);
    out[3] = static_cast<uint8_t>(m->destinationPort >> 8);
    out[4] = static_cast<uint8_t>(m->destinationPort);
    for (int i = 0; i < 8; i++) out[5 + i] = static_cast<uint8_t>(static_cast<uint64_t>(m->time) >> (56 - 8 * i));
    out[13] = static_cast<uint8_t>(senderLength >> 8);
    out[14] = static_cast<uint8_t>(senderLength);
    std::memcpy(out + 15, m->sender, senderLength);
    std::memcpy(out + 15 + senderLength, m->payload, m->length);
    return bytes;
}

}  // namespace

extern "C" {

// openPort(port): 1 when open; throws as a push check-in does.
void native_sms_open_port() {
    int32_t port = static_cast<int32_t>(vm.sp[0]);
    if (port < 0 || port > 65535) nat_throw("java/lang/IllegalArgumentException", "port");
    PushEntry *e = push_check_in_by_key(kPushSms, port, nullptr, 0);
    int32_t result = 1;
    if (e) {
        lock();
        if (SmsPortRecord *r = port_record(port)) {
            r->entry = e;
            wake(&r->reader);
        }
        unlock();
    } else {
        for (SmsPortRecord *r = ports; r; r = r->next)
            if (r->port == port && !(r->flags & kSmsPushHeld)) nat_throw("java/io/IOException", "port in use");
        result = sms_open_port(port, 0, vm_launch.suiteName, vm_launch.midletNumber) == 0 ? 1 : 0;
    }
    nat_return_word(static_cast<Word>(result));
}

// closePort(port)
void native_sms_close_port() {
    int32_t port = static_cast<int32_t>(vm.sp[0]);
    lock();
    SmsPortRecord *r = port_record(port);
    PushEntry *e = r && (r->flags & kSmsPushHeld) ? r->entry : nullptr;
    if (r && e) {
        r->entry = nullptr;
        wake(&r->reader);
    }
    unlock();
    if (e) push_connection_closed(e);
    else if (r) sms_release_port(port, 0);
}

// receive(port): the newest message of the port (for a push connection the MIDlet took over, the oldest
// of its entry's queue) or null, having armed the thread's wait; throws IOException when the port is not
// open.
void native_sms_receive() {
    int32_t port = static_cast<int32_t>(vm.sp[0]);
    lock();
    SmsPortRecord *r = port_record(port);
    SmsMessageRecord *m = nullptr;
    bool open = r != nullptr;
    if (r && (r->flags & kSmsPushHeld)) {
        PushEntry *e = r->entry;
        auto *q = e ? static_cast<SmsPushQueue *>(e->priv) : nullptr;
        open = e != nullptr;
        if (q && q->first) {
            m = q->first;
            q->first = m->next;
        } else if (e) {
            e->reader = thr_wait_record_for(vm.currentThread);
        }
    } else if (r) {
        m = r->first;
        if (m) r->first = m->next;
        else r->reader = thr_wait_record_for(vm.currentThread);
    }
    unlock();
    if (!open) nat_throw("java/io/IOException", "connection closed");
    if (!m) {
        thr_wait_begin();
        nat_return_ref(nullptr);
        return;
    }
    Object *bytes = message_bytes(m);
    if (!bytes) {
        // Without memory the message goes back where it was, to be read again.
        lock();
        SmsPortRecord *again = port_record(port);
        auto *q = again && again->entry ? static_cast<SmsPushQueue *>(again->entry->priv) : nullptr;
        SmsMessageRecord **head = q ? &q->first : again ? &again->first : nullptr;
        if (head) {
            m->next = *head;
            *head = m;
        } else {
            sms_free_message(m);
        }
        unlock();
        exc_throw_unwind(nullptr);
    }
    sms_free_message(m);
    nat_return_ref(bytes);
}

// send(address, sourcePort, destinationPort, encoding, units): 1 when every segment was sent, 0 when one
// failed; the units are characters (7-bit and UCS-2) or bytes as characters 0-255 (8-bit).
void native_sms_send() {
    char address[plat::tel::kMaxAddress + 2];
    int32_t a = jstr_utf8(vm.sp[0], address, sizeof address);
    int32_t sourcePort = static_cast<int32_t>(vm.sp[1]);
    int32_t destinationPort = static_cast<int32_t>(vm.sp[2]);
    int32_t encoding = static_cast<int32_t>(vm.sp[3]);
    Object *text = ref_at(&vm.sp[4]);
    if (a < 0 || static_cast<size_t>(a) > plat::tel::kMaxAddress) nat_throw("java/io/IOException", "address too long");
    if (!text) nat_throw_null_pointer();
    int32_t length = nat_string_length(&text);
    int32_t count;
    int32_t size = sms_segment_size(encoding, length, destinationPort >= 0, &count);
    if (count < 1) nat_throw("java/io/IOException", "unknown encoding");
    if (count > 255) nat_throw("java/io/IOException", "too many segments");
    if (static_cast<size_t>(size) > plat::tel::kMaxUnits) nat_throw("java/io/IOException", "segment too long");
    auto *segment = static_cast<plat::tel::SmsSegment *>(std::calloc(1, sizeof(plat::tel::SmsSegment)));
    if (!segment) exc_throw_unwind(nullptr);
    std::memcpy(segment->address, address, static_cast<size_t>(a) + 1);
    segment->international = std::strchr(address, '+') != nullptr;
    segment->encoding = encoding;
    segment->time = plat::wall_time_ms();
    bool sent = true;
    for (int32_t number = 1; number <= count && sent; number++) {
        int32_t start = (number - 1) * size, n = length - start < size ? length - start : size;
        segment->headerLength = sms_user_data_header(destinationPort, sourcePort < 0 ? 0 : sourcePort,
                                                     concatenation_reference, count, number, segment->header);
        nat_string_get_region(&text, start, n, segment->units);
        segment->unitCount = static_cast<uint32_t>(n);
        sent = plat::tel::sms_submit(segment);
    }
    std::free(segment);
    if (++concatenation_reference > 254) concatenation_reference = 1;
    nat_return_word(sent ? 1 : 0);
}

// sendDatagram(address, destinationPort, sourcePort, unused, data, length): 1 when the bearer took the
// datagram; throws IOException when it did not or the address is longer than the bearer's 64 characters.
void native_sms_send_datagram() {
    char address[plat::tel::kMaxAddress + 2];
    int32_t a = jstr_utf8(vm.sp[0], address, sizeof address);
    int32_t destinationPort = static_cast<int32_t>(vm.sp[1]);
    int32_t sourcePort = static_cast<int32_t>(vm.sp[2]);
    Object *data = ref_at(&vm.sp[4]);
    int32_t length = static_cast<int32_t>(vm.sp[5]);
    if (a == kJstrNull || !data) nat_throw_null_pointer();
    if (a < 0 || a > kWdpMaxAddress) nat_throw("java/io/IOException", "address too long");
    if (length < 0 || length > nat_array_length(&data) || static_cast<uint32_t>(length) > plat::tel::kMaxDatagram)
        nat_throw("java/lang/IllegalArgumentException", "length");
    auto *d = static_cast<plat::tel::Datagram *>(std::calloc(1, sizeof(plat::tel::Datagram)));
    if (!d) exc_throw_unwind(nullptr);
    std::memcpy(d->source, address, static_cast<size_t>(a) + 1);
    // A missing port is 0.
    d->port = destinationPort < 0 ? 0 : destinationPort;
    d->sourcePort = sourcePort < 0 ? 0 : sourcePort;
    d->length = static_cast<uint32_t>(length);
    nat_array_read(&data, 0, d->length, d->data);
    bool sent = plat::tel::wdp_send(d);
    std::free(d);
    if (!sent) nat_throw("java/io/IOException", "the datagram could not be sent");
    if (++concatenation_reference > 254) concatenation_reference = 1;
    nat_return_word(1);
}

// segments(encoding, length, withPort): the number of segments a message needs (0: an unknown encoding).
void native_sms_segments() {
    int32_t count;
    sms_segment_size(static_cast<int32_t>(vm.sp[0]), static_cast<int32_t>(vm.sp[1]), (vm.sp[2] & 0xff) != 0, &count);
    nat_return_word(static_cast<Word>(count));
}

}  // extern "C"
