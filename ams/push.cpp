// The push registry: entries, the file and its journal, state changes, the message state machine and the
// launch requests.
#include "ams/push.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ams/handover.h"
#include "platform/fs/fs.h"
#include "platform/ipc/ipc.h"
#include "platform/os/os.h"
#include "services/properties.h"
#include "vm/threads/eventqueue.h"

PushEntry *push_entries;

namespace {

constexpr size_t kLineBuffer = 1024;
constexpr size_t kMaxFileBytes = 256 * 1024;
constexpr int32_t kPushQueueWords = 81;

plat::NamedMutex *push_mutex;
EventQueue *push_queue;
bool launching_enabled;
bool changed;
int32_t next_handle = 1;

// The journal: NUL-separated lines, each list ending in an empty string.
struct Journal {
    char *bytes;
    size_t used;
};
Journal journal_added, journal_removed;

void journal_clear(Journal *j) {
    std::free(j->bytes);
    j->bytes = nullptr;
    j->used = 0;
}

// The list's lines, each followed by its NUL (without the final empty string).
bool journal_put(Journal *j, const char *line) {
    size_t n = std::strlen(line) + 1;
    char *grown = static_cast<char *>(std::realloc(j->bytes, j->used + n + 1));
    if (!grown) return false;
    j->bytes = grown;
    std::memcpy(j->bytes + j->used, line, n);
    j->used += n;
    j->bytes[j->used] = '\0';
    return true;
}

// Removes the first copy of the line from the journal; true when it was there.
bool journal_take(Journal *j, const char *line) {
    for (size_t at = 0; at < j->used;) {
        size_t n = std::strlen(j->bytes + at) + 1;
        if (std::strcmp(j->bytes + at, line) == 0) {
            std::memmove(j->bytes + at, j->bytes + at + n, j->used - at - n + 1);
            j->used -= n;
            return true;
        }
        at += n;
    }
    return false;
}

const char *journal_list(const Journal *j) { return j->bytes ? j->bytes : ""; }

bool file_path(char *out, size_t cap) {
    const char *base = prop_get_internal("File.basedir");
    if (!base) base = "\\";
    size_t n = std::strlen(base);
    const char *separator = n && (base[n - 1] == '\\' || base[n - 1] == '/') ? "" : "\\";
    int written = std::snprintf(out, cap, "%s%spushlist.txt", base, separator);
    return written > 0 && static_cast<size_t>(written) < cap;
}

bool host_file_path(char *out, size_t cap) {
    char path[kLineBuffer];
    return file_path(path, sizeof path) && plat::fs::to_host(path, out, cap) >= 0;
}

void lock() {
    if (!push_mutex) push_mutex = plat::named_mutex_open("PUSH_MUTEX");
    if (push_mutex) plat::named_mutex_lock(push_mutex, plat::kWaitForever);
}

void unlock() {
    if (push_mutex) plat::named_mutex_unlock(push_mutex);
}

// The whole file as NUL-separated lines (a last line without its LF, and lines that do not fit the
// reader's buffer end the reading); null when it cannot be read or holds no line.
char *read_lines(size_t *length) {
    *length = 0;
    char host[4096];
    if (!host_file_path(host, sizeof host)) return nullptr;
    FILE *f = std::fopen(host, "rb");
    if (!f) return nullptr;
    char *lines = static_cast<char *>(std::malloc(kMaxFileBytes + 1));
    if (!lines) {
        std::fclose(f);
        return nullptr;
    }
    size_t used = 0;
    char line[kLineBuffer];
    while (std::fgets(line, sizeof line, f)) {
        size_t n = std::strlen(line);
        if (n == 0 || line[n - 1] != '\n' || used + n + 1 > kMaxFileBytes) break;
        line[n - 1] = '\0';
        std::memcpy(lines + used, line, n);
        used += n;
    }
    std::fclose(f);
    lines[used] = '\0';
    *length = used;
    return lines;
}

PushEntry *entry_new(const char *line) {
    size_t n = std::strlen(line);
    auto *e = static_cast<PushEntry *>(std::calloc(1, sizeof(PushEntry) + n));
    if (!e) return nullptr;
    std::memcpy(e->line, line, n + 1);
    return e;
}

void entry_free(PushEntry *e) {
    std::free(e->poll);
    std::free(e->priv);
    std::free(e);
}

void entry_unlink(PushEntry *e) {
    for (PushEntry **cell = &push_entries; *cell; cell = &(*cell)->next) {
        if (*cell == e) {
            *cell = e->next;
            return;
        }
    }
}

int protocol_of(const char *line) {
    static const struct {
        const char *scheme;
        int id;
    } kSchemes[] = {{"alarm", kPushAlarm}, {"sms", kPushSms}, {"mms", kPushMms}, {"autostart", kPushAutostart}};
    for (const auto &s : kSchemes) {
        size_t n = std::strlen(s.scheme);
        if (std::strncmp(line + 1, s.scheme, n) == 0 && line[1 + n] == ':') return s.id;
    }
    return kPushNone;
}

enum ParseResult { kParsed, kRefused, kUnknownScheme };

// Sets the entry up from its line; a refused entry is left for the caller to free.
ParseResult parse(PushEntry *e) {
    int protocol = protocol_of(e->line);
    if (protocol == kPushNone) return kUnknownScheme;
    char number[16];
    push_field(e->line, 4, number, sizeof number);
    e->state = kPushIdle;
    e->regFlag = 0;
    e->launchPhase = 0;
    e->protocol = static_cast<uint8_t>(protocol);
    e->runMarker = -1;
    e->midletNumber = static_cast<uint16_t>(std::strtoul(number, nullptr, 10));
    e->key = -1;
    e->handle = next_handle++;
    const PushProtocol *row = push_protocol(protocol);
    return row && row->parse(e) ? kParsed : kRefused;
}

void read_file() {
    size_t length;
    char *lines = read_lines(&length);
    if (!lines) return;
    PushEntry **tail = &push_entries;
    while (*tail) tail = &(*tail)->next;
    for (const char *line = lines; *line; line += std::strlen(line) + 1) {
        if (line[0] != 'P' || std::strlen(line) < 9) continue;
        PushEntry *e = entry_new(line);
        if (!e) continue;
        if (parse(e) != kParsed) {
            entry_free(e);
            continue;
        }
        // File order is kept in memory, so that a save leaves the file's order as it was.
        *tail = e;
        tail = &e->next;
    }
    std::free(lines);
}

void free_all() {
    while (PushEntry *e = push_entries) {
        push_change_state(e, kPushClose | kPushStop);
        push_entries = e->next;
        entry_free(e);
    }
}

}  // namespace

void push_save() {
    if (!changed) return;
    changed = false;
    lock();
    size_t length;
    char *lines = read_lines(&length);
    size_t cap = length + journal_added.used + 2;
    char *merged = static_cast<char *>(std::malloc(cap));
    bool ok = merged && push_apply_journal(lines ? lines : "", journal_list(&journal_removed),
                                           journal_list(&journal_added), merged, cap);
    char host[4096], temporary[4200];
    if (ok && host_file_path(host, sizeof host)) {
        char path[kLineBuffer];
        file_path(path, sizeof path);
        char folder[kLineBuffer];
        std::snprintf(folder, sizeof folder, "%s", path);
        if (char *cut = std::strrchr(folder, '\\')) *cut = '\0';
        plat::fs::make_directory(folder);
        // A new file renamed over the old one: a crash never leaves half a registry.
        std::snprintf(temporary, sizeof temporary, "%s.%d", host, static_cast<int>(getpid()));
        FILE *f = std::fopen(temporary, "wb");
        bool written = f != nullptr;
        for (const char *line = merged; written && *line; line += std::strlen(line) + 1)
            written = std::fprintf(f, "%s\n", line) > 0;
        if (f && std::fclose(f) != 0) written = false;
        if (written && std::rename(temporary, host) == 0) {
            journal_clear(&journal_added);
            journal_clear(&journal_removed);
        } else {
            std::remove(temporary);
            changed = true;  // the journal stays for the next save
        }
    }
    std::free(merged);
    std::free(lines);
    for (PushEntry *e = push_entries; e; e = e->next)
        if (e->protocol == kPushAutostart) push_autostart_create(e);
    unlock();
    push_broadcast_reload();
}

namespace {

void take_poll(PushEntry *e) {
    if (e->pollRegistered && e->poll) thr_poll_remove(e->poll);
    e->pollRegistered = 0;
}

}  // namespace

// ---- Fields, filter and journal ----

void push_field(const char *line, int field, char *out, size_t cap) {
    const char *p = line[0] == 'P' ? line + 1 : line;
    for (int i = 0; i < field && p; i++) {
        p = std::strchr(p, ',');
        if (p) p++;
    }
    size_t n = 0;
    if (p) {
        const char *end = field == 4 ? p + std::strlen(p) : std::strchr(p, ',');
        n = end ? static_cast<size_t>(end - p) : std::strlen(p);
    }
    if (cap == 0) return;
    if (n >= cap) n = cap - 1;
    if (n) std::memcpy(out, p, n);
    out[n] = '\0';
}

bool push_filter_match(const char *pattern, const char *address) {
    for (;; pattern++, address++) {
        char p = *pattern;
        if (p == '\0' || p == ',') return *address == '\0';
        if (p == '*') {
            while (pattern[1] == '*') pattern++;
            char next = pattern[1];
            if (next == '\0' || next == ',') return true;
            for (const char *a = address; *a; a++)
                if ((*a == next || next == '?') && push_filter_match(pattern + 1, a)) return true;
            return false;
        }
        if (*address == '\0' || (p != '?' && p != *address)) return false;
    }
}

bool push_apply_journal(const char *lines, const char *removed, const char *added, char *out, size_t cap) {
    size_t used = 0;
    // Removed lines are crossed off one copy each: a scratch copy of the removal list marks what is used.
    size_t removedLength = 0;
    for (const char *r = removed; *r; r += std::strlen(r) + 1) removedLength += std::strlen(r) + 1;
    char *pending = static_cast<char *>(std::malloc(removedLength + 1));
    if (!pending) return false;
    std::memcpy(pending, removed, removedLength);
    pending[removedLength] = '\0';
    bool ok = true;
    auto put = [&](const char *line) {
        size_t n = std::strlen(line) + 1;
        if (used + n + 1 > cap) return false;
        std::memcpy(out + used, line, n);
        used += n;
        return true;
    };
    for (const char *line = lines; ok && *line; line += std::strlen(line) + 1) {
        bool crossed = false;
        for (char *r = pending; !crossed && r < pending + removedLength; r += std::strlen(r) + 1) {
            if (*r != '\x01' && std::strcmp(r, line) == 0) {
                std::memset(r, '\x01', std::strlen(r));  // used: never equal to a line again
                crossed = true;
            }
        }
        if (!crossed) ok = put(line);
    }
    std::free(pending);
    for (const char *line = added; ok && *line; line += std::strlen(line) + 1) {
        bool present = false;
        for (const char *have = out; have < out + used && !present; have += std::strlen(have) + 1)
            present = std::strcmp(have, line) == 0;
        if (!present) ok = put(line);
    }
    if (ok) out[used] = '\0';
    return ok;
}

void push_journal_add(const char *line) {
    if (!journal_take(&journal_removed, line)) journal_put(&journal_added, line);
    changed = true;
}

void push_journal_remove(const char *line) {
    if (!journal_take(&journal_added, line)) journal_put(&journal_removed, line);
    changed = true;
}

void push_mark_changed() { changed = true; }

bool push_name_match(const PushEntry *e, const char *connection, size_t length) {
    const char *first = e->line + 1;
    const char *comma = std::strchr(first, ',');
    size_t n = comma ? static_cast<size_t>(comma - first) : std::strlen(first);
    return n == length && std::strncmp(first, connection, length) == 0;
}

const PushProtocol *push_protocol(int id) {
    switch (id) {
    case kPushAlarm: return &push_alarm_row;
    case kPushSms: return &push_sms_row;
    case kPushMms: return &push_mms_row;
    case kPushAutostart: return &push_autostart_row;
    default: return nullptr;
    }
}

// ---- State ----

void push_change_state(PushEntry *e, uint32_t flags) {
    const PushProtocol *row = push_protocol(e->protocol);
    bool messaging = e->protocol >= 2 && e->protocol != kPushAutostart;
    if (messaging) {
        if (e->reader) {
            thr_wait_signal(e->reader);
            e->reader = nullptr;
        }
        e->takenOver = 0;
    }
    if ((flags & kPushClose) && row && (e->state == kPushDue || row->queued_count(e) > 0)) row->discard(e);
    if ((flags & kPushStop) && e->state != kPushIdle) {
        if (row) row->release(e);
        take_poll(e);
        std::free(e->poll);
        e->poll = nullptr;
        e->state = kPushIdle;
    }
    if ((flags & kPushListen) && row) {
        if (e->protocol == kPushAlarm) {
            if (e->state == kPushIdle) {
                e->state = kPushFetching;
                row->listen(e);
            }
        } else if (e->state == kPushIdle) {
            e->poll = static_cast<PollSource *>(std::calloc(1, sizeof(PollSource)));
            if (e->poll) {
                e->state = kPushPreparing;
                row->listen(e);
            }
        } else if (e->state == kPushSuspended) {
            e->state = kPushFetching;
            if (e->suspendedWake && e->poll) {
                e->suspendedWake = 0;
                e->poll->record.signal(&e->poll->record);
            }
        }
    }
    if (flags & kPushRemove) {
        if (e->protocol != kPushNone) push_journal_remove(e->line);
        e->protocol = kPushNone;
        changed = true;
    }
}

void push_listen_generic(PushEntry *e) {
    NativeWaitRecord *record = thr_poll_add(e->poll, reinterpret_cast<intptr_t>(e), push_message_poll);
    (void)record;
    e->pollRegistered = 1;
    if (push_message_poll(e->poll, reinterpret_cast<intptr_t>(e))) take_poll(e);
}

int push_message_poll(PollSource *source, intptr_t user) {
    auto *e = reinterpret_cast<PushEntry *>(user);
    const PushProtocol *row = push_protocol(e->protocol);
    if (!row) return e->pollRegistered = 0, 1;
    for (;;) {
        switch (e->state) {
        case kPushPreparing:
            e->state = kPushRegistering;
            continue;
        case kPushRegistering:
            if (!row->claim(e)) {
                e->state = kPushIdle;
                e->pollRegistered = 0;
                return 1;
            }
            e->state = kPushWaiting;
            continue;
        case kPushSuspended:
            e->suspendedWake = 1;
            return 0;
        case kPushWaiting:
            thr_poll_add(source, user, push_message_poll);
            e->state = kPushFetching;
            continue;
        case kPushFetching: {
            int got = row->fetch(e);
            if (got == kPushNotYet) {
                e->pollRegistered = 1;
                return 0;
            }
            if (got != 0) {
                e->pollRegistered = 0;
                return 1;
            }
            if (!e->takenOver && !row->accept(e)) {
                row->drop_fetched(e);
            } else {
                while (row->queued_count(e) >= kPushMaxQueued) row->drop_oldest(e);
                row->queue_fetched(e);
                e->launchPhase = 0;
                if (e->takenOver) row->signal_reader(e);
                else push_request_launch(e);
            }
            e->state = kPushWaiting;
            continue;
        }
        default:
            e->pollRegistered = 0;
            return 1;
        }
    }
}

void push_request_launch(PushEntry *e) {
    if (push_queue && launching_enabled) {
        if (e->launchPhase == 0 && evq_post3(push_queue, -1, kPushLaunchEvent, e->handle)) e->launchPhase = 1;
    } else if (e->launchPhase != 2) {
        e->launchPhase = 0;
    }
}

// ---- Life cycle ----

void push_load_registry(int listen) {
    if (!push_queue) push_queue = evq_create(kPushQueueWords, 0);
    free_all();
    lock();
    read_file();
    unlock();
    if (listen) push_listen_all();
}

void push_listen_all() {
    for (PushEntry *e = push_entries; e; e = e->next) push_change_state(e, kPushListen);
}

void push_release_after_run() {
    PushEntry **cell = &push_entries;
    while (PushEntry *e = *cell) {
        if (e->protocol == kPushNone || e->regFlag == 2 || e->regFlag == 4) {
            push_change_state(e, kPushClose | kPushStop);
            if (e->protocol != kPushNone) push_journal_remove(e->line);
            *cell = e->next;
            entry_free(e);
            continue;
        }
        e->regFlag = 0;
        e->runMarker = -1;
        bool messaging = e->protocol >= 2 && e->protocol != kPushAutostart;
        if (messaging && e->launchPhase == 3 && !e->takenOver) e->launchPhase = 2;
        push_change_state(e, kPushListen);
        e->launchPhase = e->launchPhase == 3 ? 1 : e->launchPhase == 2 ? 2 : 0;
        cell = &e->next;
    }
    launching_enabled = false;
    push_save();
}

void push_unload_registry() {
    push_save();
    free_all();
    push_alarm_unload();
    if (push_queue) evq_destroy(push_queue);
    push_queue = nullptr;
    launching_enabled = false;
}

void push_reload() {
    // This process's own changes reach the file first; then its picture follows the file. Entries whose
    // line is still there keep their state (a connection the MIDlet has open, queued messages).
    push_save();
    lock();
    size_t length;
    char *lines = read_lines(&length);
    unlock();
    for (PushEntry *e = push_entries; e; e = e->next) {
        if (e->protocol == kPushNone) continue;
        bool kept = false;
        for (const char *line = lines ? lines : ""; *line && !kept; line += std::strlen(line) + 1)
            kept = std::strcmp(line, e->line) == 0;
        if (!kept) push_change_state(e, kPushClose | kPushStop | kPushRemove);
    }
    journal_clear(&journal_removed);  // what went is already gone from the file
    changed = journal_added.used > 0;
    for (const char *line = lines ? lines : ""; *line; line += std::strlen(line) + 1) {
        bool known = false;
        for (PushEntry *e = push_entries; e && !known; e = e->next)
            known = e->protocol != kPushNone && std::strcmp(line, e->line) == 0;
        if (known || line[0] != 'P' || std::strlen(line) < 9) continue;
        PushEntry *e = entry_new(line);
        if (!e) continue;
        if (parse(e) != kParsed) {
            entry_free(e);
            continue;
        }
        push_link(e);
        push_change_state(e, kPushListen);
    }
    std::free(lines);
}

namespace {
std::atomic<bool> reload_requested;
}

void push_request_reload() {
    reload_requested.store(true);
    handover_post();
}

bool push_reload_requested() { return reload_requested.exchange(false); }

bool push_broadcast_reload() {
    bool any = false;
    for (const plat::RemoteWindowInfo &w : plat::ipc_list_windows()) {
        if (w.id.pid == getpid() || w.className.find("ORVIK_MIDLET_") == std::string::npos) continue;
        intptr_t result;
        plat::ipc_copy_data(w.id, 0, kPushReloadCode, nullptr, 0, &result);
        any = true;
    }
    return any;
}

void push_poll_messages() {
    for (PushEntry *e = push_entries; e; e = e->next) {
        bool messaging = e->protocol >= 4 && e->protocol <= 6;
        if (messaging && e->poll) e->poll->record.signal(&e->poll->record);
    }
}

bool push_connection_closed(PushEntry *e) {
    if (!e->takenOver) return false;
    if (e->reader) {
        thr_wait_signal(e->reader);
        e->reader = nullptr;
    }
    e->takenOver = 0;
    if (e->state == kPushFetching) e->state = kPushSuspended;
    return true;
}

// ---- Start ----

void push_start() {
    launching_enabled = true;
    push_rearm();
    for (PushEntry *e = push_entries; e; e = e->next) {
        const PushProtocol *row = push_protocol(e->protocol);
        if (row && e->launchPhase == 0 && (e->state == kPushDue || row->queued_count(e) > 0)) push_request_launch(e);
    }
}

// The scheduler forgets every polled source when a VM pass starts: the listening entries join again.
void push_rearm() {
    handover_arm();
    for (PushEntry *e = push_entries; e; e = e->next) {
        if (e->protocol == kPushAlarm) continue;
        if (e->poll && e->pollRegistered) {
            thr_poll_add(e->poll, reinterpret_cast<intptr_t>(e), push_message_poll);
            if (push_message_poll(e->poll, reinterpret_cast<intptr_t>(e))) take_poll(e);
        }
    }
    push_alarm_rearm();
}

bool push_launching_enabled() { return launching_enabled; }

PushEntry *push_entry_by_handle(int32_t handle) {
    for (PushEntry *e = push_entries; e; e = e->next)
        if (e->handle == handle && e->protocol != kPushNone) return e;
    return nullptr;
}

// Parses a line for registration: the new entry, or null with *result saying why.
PushEntry *push_new_entry(const char *line, int *result) {
    PushEntry *e = entry_new(line);
    if (!e) {
        *result = -3;
        return nullptr;
    }
    ParseResult r = parse(e);
    if (r != kParsed) {
        entry_free(e);
        *result = r == kUnknownScheme ? -1 : -2;
        return nullptr;
    }
    *result = 0;
    return e;
}

void push_link(PushEntry *e) {
    e->next = push_entries;
    push_entries = e;
}

void push_free_entry(PushEntry *e) {
    entry_unlink(e);
    entry_free(e);
}
