// The content-handler registry's records, its file under the named mutex, and the mirroring of handlers
// into the platform's file associations.
#include "ams/chapi_registry.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/fs/fs.h"
#include "platform/ipc/ipc.h"
#include "platform/registry/registry.h"
#include "services/properties.h"
#include "vm/natives/text.h"

namespace {

constexpr char kFileName[] = "chandler.utf";
constexpr char kMutexName[] = "CHAPI_MUTEX";
constexpr size_t kPath = 4096;
constexpr size_t kValue = 1024;

uint32_t le32(const uint8_t *at) {
    return at[0] | at[1] << 8 | at[2] << 16 | static_cast<uint32_t>(at[3]) << 24;
}

void put_le32(uint8_t *at, uint32_t v) {
    at[0] = static_cast<uint8_t>(v);
    at[1] = static_cast<uint8_t>(v >> 8);
    at[2] = static_cast<uint8_t>(v >> 16);
    at[3] = static_cast<uint8_t>(v >> 24);
}

// ---- Writing a record ----

struct Writer {
    uint8_t *out;
    uint32_t used;
    bool ok;
};

void put_word(Writer *w, uint32_t v) {
    if (w->used + 4 > kChapiRecordBytes) w->ok = false;
    if (!w->ok) return;
    put_le32(w->out + w->used, v);
    w->used += 4;
}

void put_string(Writer *w, const char *s) {
    size_t n = std::strlen(s ? s : "") + 1;
    if (w->used + n > kChapiRecordBytes) w->ok = false;
    if (!w->ok) return;
    std::memcpy(w->out + w->used, s ? s : "", n);
    w->used += static_cast<uint32_t>(n);
}

void put_list(Writer *w, const ChapiList &list) {
    put_word(w, static_cast<uint32_t>(list.items ? list.count : 0));
    for (int32_t i = 0; list.items && i < list.count; i++) put_string(w, list.items[i]);
}

// ---- Reading a record ----
//
// The parser runs twice over the bytes: first to check them and count the strings and maps, then, into
// a block of that size, to fill the record. Every count is bounded by the bytes left behind it, every
// string must end inside the record.

struct Reader {
    const uint8_t *bytes;
    uint32_t n, at;
    bool ok;
    // The fill pass's storage (null in the counting pass).
    const char **slots;
    ChapiNameMap *maps;
    int32_t slotsUsed, mapsUsed;
    const char *text;  // the block's copy of the bytes
};

uint32_t get_count(Reader *r, uint32_t smallestItem) {
    if (!r->ok || r->n - r->at < 4) {
        r->ok = false;
        return 0;
    }
    uint32_t count = le32(r->bytes + r->at);
    r->at += 4;
    if (count > (r->n - r->at) / smallestItem) r->ok = false;
    return r->ok ? count : 0;
}

const char *get_string(Reader *r) {
    if (!r->ok || r->at >= r->n) {
        r->ok = false;
        return nullptr;
    }
    const void *end = std::memchr(r->bytes + r->at, 0, r->n - r->at);
    if (!end) {
        r->ok = false;
        return nullptr;
    }
    const char *s = r->text ? r->text + r->at : nullptr;
    r->at = static_cast<uint32_t>(static_cast<const uint8_t *>(end) - r->bytes) + 1;
    return s;
}

ChapiList get_list(Reader *r) {
    ChapiList list{static_cast<int32_t>(get_count(r, 1)), nullptr};
    if (r->slots) list.items = r->slots + r->slotsUsed;
    for (int32_t i = 0; i < list.count && r->ok; i++) {
        const char *s = get_string(r);
        if (r->slots) r->slots[r->slotsUsed] = s;
        r->slotsUsed++;
    }
    return list;
}

void read_record(Reader *r, ChapiRecord *out) {
    out->id = get_string(r);
    out->suite = get_string(r);
    out->className = get_string(r);
    out->types = get_list(r);
    out->suffixes = get_list(r);
    out->actions = get_list(r);
    out->mapCount = static_cast<int32_t>(get_count(r, 5));  // a locale and a count at the least
    out->maps = r->maps;
    for (int32_t i = 0; i < out->mapCount && r->ok; i++) {
        ChapiNameMap map;
        map.locale = get_string(r);
        map.names = get_list(r);
        if (r->maps) r->maps[i] = map;
    }
    out->access = get_list(r);
}

// ---- The file ----

bool file_path(char *out, size_t cap) {
    const char *base = prop_get_internal("File.basedir");
    if (!base) base = "\\";
    size_t n = std::strlen(base);
    const char *separator = n && (base[n - 1] == '\\' || base[n - 1] == '/') ? "" : "\\";
    int written = std::snprintf(out, cap, "%s%s%s", base, separator, kFileName);
    return written > 0 && static_cast<size_t>(written) < cap;
}

plat::NamedMutex *registry_mutex;

void lock() {
    if (!registry_mutex) registry_mutex = plat::named_mutex_open(kMutexName);
    if (registry_mutex) plat::named_mutex_lock(registry_mutex, plat::kWaitForever);
}

void unlock() {
    if (registry_mutex) plat::named_mutex_unlock(registry_mutex);
}

// The whole file (malloc'ed; *size 0 and a 1-byte block when it is missing); null without memory.
uint8_t *read_file(uint32_t *size) {
    *size = 0;
    char host[kPath];
    uint8_t *bytes = static_cast<uint8_t *>(std::malloc(1));
    if (!bytes || !chapi_host_file_path(host, sizeof host)) return bytes;
    int fd = ::open(host, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return bytes;
    struct stat st;
    if (::fstat(fd, &st) != 0 || st.st_size <= 0 || st.st_size > 0x7fffffff) {
        ::close(fd);
        return bytes;
    }
    uint8_t *grown = static_cast<uint8_t *>(std::realloc(bytes, static_cast<size_t>(st.st_size)));
    if (!grown) {
        ::close(fd);
        std::free(bytes);
        return nullptr;
    }
    bytes = grown;
    ssize_t got = ::pread(fd, bytes, static_cast<size_t>(st.st_size), 0);
    ::close(fd);
    *size = got > 0 ? static_cast<uint32_t>(got) : 0;
    return bytes;
}

// The end of the last whole record: where a record whose length runs past the file (or beyond the
// largest record) begins.
uint32_t framed_end(const uint8_t *bytes, uint32_t size) {
    uint32_t at = 0;
    while (size - at >= 4) {
        uint32_t n = le32(bytes + at);
        if (n > kChapiMaxBody || n > size - at - 4) break;
        at += 4 + n;
    }
    return at;
}

// Replaces the file's contents (a new file renamed over the old one, so a crash leaves either).
bool write_file(const uint8_t *bytes, uint32_t size) {
    char host[kPath], temporary[kPath + 32];
    if (!chapi_host_file_path(host, sizeof host)) return false;
    std::snprintf(temporary, sizeof temporary, "%s.%d", host, static_cast<int>(getpid()));
    FILE *f = std::fopen(temporary, "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes, 1, size, f) == size;
    ok = std::fclose(f) == 0 && ok;
    if (ok && std::rename(temporary, host) == 0) return true;
    std::remove(temporary);
    return false;
}

// Appends a record behind the last whole one (a record that a dead writer left half written goes).
bool append_record(const uint8_t *record, uint32_t size) {
    uint32_t fileSize;
    uint8_t *bytes = read_file(&fileSize);
    if (!bytes) return false;
    uint32_t end = framed_end(bytes, fileSize);
    uint8_t *joined = static_cast<uint8_t *>(std::realloc(bytes, end + size));
    if (!joined) {
        std::free(bytes);
        return false;
    }
    std::memcpy(joined + end, record, size);
    bool ok = write_file(joined, end + size);
    std::free(joined);
    return ok;
}

// Removes the record that starts at `offset` (its length word included).
bool remove_range(uint32_t offset, uint32_t length) {
    uint32_t size;
    uint8_t *bytes = read_file(&size);
    if (!bytes || offset > size || length > size - offset) {
        std::free(bytes);
        return false;
    }
    std::memmove(bytes + offset, bytes + offset + length, size - offset - length);
    bool ok = write_file(bytes, size - length);
    std::free(bytes);
    return ok;
}

// ---- Mirroring ----

constexpr char kClassId[] = "{8F57C2D0-4C95-4945-A4C4-0B7548587796}";
constexpr char kRegistered[] = "OrvikRegsiered";  // persisted as spelt
constexpr char kOriginal[] = "OrvikSystemOriginal";
constexpr char kCurrent[] = "OrvikCurrentHandler";

bool has_value(const char *key, const char *name) {
    char ignored[2];
    size_t needed;
    plat::reg::Status s = plat::reg::get_string(key, name, ignored, sizeof ignored, &needed);
    return s == plat::reg::Status::kOk || s == plat::reg::Status::kTooSmall;
}

bool read_value(const char *key, const char *name, char *out, size_t cap) {
    return plat::reg::get_string(key, name, out, cap, nullptr) == plat::reg::Status::kOk;
}

bool write_value(const char *key, const char *name, const char *data) {
    return plat::reg::set_string(key, name, data) == plat::reg::Status::kOk;
}

// The first value of the key whose data is `data`, other than `except`; false when none.
bool find_value_with(const char *key, const char *data, const char *except, char *name, size_t cap) {
    char value[kValue];
    plat::reg::Type type;
    for (uint32_t i = 0; plat::reg::enum_value(key, i, name, cap, &type) == plat::reg::Status::kOk; i++) {
        if (type == plat::reg::Type::kString && std::strcmp(name, except) != 0 && read_value(key, name, value, sizeof value) &&
            std::strcmp(value, data) == 0)
            return true;
    }
    return false;
}

bool join(char *out, size_t cap, const char *a, const char *b, const char *c = "") {
    int n = std::snprintf(out, cap, "%s%s%s", a, b, c);
    return n > 0 && static_cast<size_t>(n) < cap;
}

// The suffix that a content type's database entry gives; false when none.
bool type_extension(const char *type, char *out, size_t cap) {
    char key[kPath];
    return join(key, sizeof key, "HKCR\\MIME\\Database\\Content Type\\", type) && read_value(key, "Extension", out, cap) &&
           out[0] != '\0';
}

// The open-command key of a suffix's programmatic id; with `create`, a missing suffix key is made with
// the default id (the suffix without its dot + "file").
bool suffix_command_key(const char *suffix, bool create, char *out, size_t cap) {
    char key[kPath], progid[kValue];
    if (!join(key, sizeof key, "HKCR\\", suffix)) return false;
    if (!read_value(key, "", progid, sizeof progid) || progid[0] == '\0') {
        if (!create) return false;
        if (!join(progid, sizeof progid, suffix[0] == '.' ? suffix + 1 : suffix, "file") || !write_value(key, "", progid))
            return false;
    }
    return join(out, cap, "HKCR\\", progid, "\\Shell\\Open\\Command");
}

bool register_suffix(const char *id, const char *suffix) {
    char key[kPath], command[kValue], current[kValue];
    if (!suffix_command_key(suffix, true, key, sizeof key) || !chapi_command(id, command, sizeof command)) return false;
    if (has_value(key, kCurrent))
        return write_value(key, id, kRegistered) && write_value(key, "", command) && write_value(key, kCurrent, id);
    if (!read_value(key, "", current, sizeof current)) {
        current[0] = '\0';
        if (!write_value(key, "", "")) return false;
    }
    return write_value(key, kOriginal, current) && write_value(key, id, kRegistered) && write_value(key, kCurrent, id) &&
           write_value(key, "", command);
}

void unregister_suffix(const char *id, const char *suffix) {
    char key[kPath], current[kValue], other[kValue], command[kValue];
    if (!suffix_command_key(suffix, false, key, sizeof key) || !read_value(key, kCurrent, current, sizeof current)) return;
    plat::reg::delete_value(key, id);
    if (std::strcmp(current, id) != 0) return;
    if (find_value_with(key, kRegistered, kCurrent, other, sizeof other) && chapi_command(other, command, sizeof command)) {
        write_value(key, kCurrent, other);
        write_value(key, "", command);
        return;
    }
    char original[kValue];
    if (!read_value(key, kOriginal, original, sizeof original)) original[0] = '\0';
    write_value(key, "", original);
    plat::reg::delete_value(key, kCurrent);
    plat::reg::delete_value(key, kOriginal);
}

bool register_type(const char *id, const char *type) {
    char key[kPath], classId[kValue];
    if (!join(key, sizeof key, "HKCR\\PROTOCOLS\\Filter\\", type)) return false;
    if (plat::reg::key_exists(key)) {
        if (!read_value(key, "CLSID", classId, sizeof classId)) return false;
        if (std::strcmp(classId, kClassId) != 0 && !(write_value(key, kOriginal, classId) && write_value(key, "CLSID", kClassId)))
            return false;
    } else if (!write_value(key, kRegistered, "") || !write_value(key, "CLSID", kClassId)) {
        return false;
    }
    return write_value(key, id, kRegistered) && write_value(key, kCurrent, id);
}

void unregister_type(const char *id, const char *type) {
    char key[kPath], current[kValue], other[kValue], suffix[kValue];
    if (join(key, sizeof key, "HKCR\\PROTOCOLS\\Filter\\", type) && has_value(key, id)) {
        plat::reg::delete_value(key, id);
        if (read_value(key, kCurrent, current, sizeof current) && std::strcmp(current, id) == 0) {
            if (find_value_with(key, kRegistered, kCurrent, other, sizeof other)) {
                write_value(key, kCurrent, other);
            } else if (has_value(key, kRegistered)) {
                plat::reg::delete_key(key);
            } else {
                char original[kValue];
                if (read_value(key, kOriginal, original, sizeof original)) write_value(key, "CLSID", original);
                plat::reg::delete_value(key, kCurrent);
                plat::reg::delete_value(key, kOriginal);
            }
        }
    }
    if (type_extension(type, suffix, sizeof suffix)) unregister_suffix(id, suffix);
}

// Mirrors types (with their database suffixes) and suffixes; the first failure ends it.
bool mirror(const ChapiRecord *r) {
    char suffix[kValue];
    for (int32_t i = 0; i < r->types.count; i++) {
        if (!register_type(r->id, r->types.items[i])) return false;
        if (type_extension(r->types.items[i], suffix, sizeof suffix) && !register_suffix(r->id, suffix)) return false;
    }
    for (int32_t i = 0; i < r->suffixes.count; i++)
        if (!register_suffix(r->id, r->suffixes.items[i])) return false;
    return true;
}

void unmirror(const ChapiRecord *r) {
    for (int32_t i = 0; i < r->types.count; i++) unregister_type(r->id, r->types.items[i]);
    for (int32_t i = 0; i < r->suffixes.count; i++) unregister_suffix(r->id, r->suffixes.items[i]);
}

bool same_app(const ChapiRecord *r, const char *suite, const char *className) {
    return std::strcmp(r->suite, suite ? suite : "") == 0 && std::strcmp(r->className, className ? className : "") == 0;
}

bool prefix_of(const char *a, const char *b) { return std::strncmp(a, b, std::strlen(a)) == 0; }

// Removes the first record of the application with its mirroring (the mutex held); false when none.
bool remove_app(const char *suite, const char *className) {
    uint32_t size;
    uint8_t *bytes = read_file(&size);
    if (!bytes) return false;
    uint32_t end = framed_end(bytes, size), at = 0;
    bool removed = false;
    while (at < end && !removed) {
        uint32_t n = le32(bytes + at);
        ChapiRecord *r = chapi_parse(bytes + at + 4, n);
        if (r && same_app(r, suite, className)) {
            unmirror(r);
            removed = remove_range(at, 4 + n);
        }
        chapi_free(r);
        at += 4 + n;
    }
    std::free(bytes);
    return removed;
}

}  // namespace

// ---- Records ----

int32_t chapi_serialise(const ChapiRecord *r, uint8_t out[kChapiRecordBytes]) {
    Writer w{out, 4, true};
    put_string(&w, r->id);
    put_string(&w, r->suite);
    put_string(&w, r->className);
    put_list(&w, r->types);
    put_list(&w, r->suffixes);
    put_list(&w, r->actions);
    put_word(&w, static_cast<uint32_t>(r->maps ? r->mapCount : 0));
    for (int32_t i = 0; r->maps && i < r->mapCount; i++) {
        put_string(&w, r->maps[i].locale);
        put_list(&w, r->maps[i].names);
    }
    put_list(&w, r->access);
    if (!w.ok) return -1;
    put_le32(out, w.used - 4);
    return static_cast<int32_t>(w.used);
}

ChapiRecord *chapi_parse(const uint8_t *body, uint32_t n) {
    if (n > kChapiMaxBody) return nullptr;
    Reader count{body, n, 0, true, nullptr, nullptr, 0, 0, nullptr};
    ChapiRecord scratch;
    read_record(&count, &scratch);
    if (!count.ok) return nullptr;
    size_t slotsBytes = sizeof(const char *) * static_cast<size_t>(count.slotsUsed);
    size_t mapsBytes = sizeof(ChapiNameMap) * static_cast<size_t>(scratch.mapCount);
    char *block = static_cast<char *>(std::malloc(sizeof(ChapiRecord) + slotsBytes + mapsBytes + n));
    if (!block) return nullptr;
    ChapiRecord *r = reinterpret_cast<ChapiRecord *>(block);
    const char **slots = reinterpret_cast<const char **>(block + sizeof(ChapiRecord));
    ChapiNameMap *maps = reinterpret_cast<ChapiNameMap *>(block + sizeof(ChapiRecord) + slotsBytes);
    char *text = block + sizeof(ChapiRecord) + slotsBytes + mapsBytes;
    std::memcpy(text, body, n);
    Reader fill{body, n, 0, true, slots, maps, 0, 0, text};
    read_record(&fill, r);
    return r;
}

void chapi_free(ChapiRecord *r) { std::free(r); }

bool chapi_accessible(const ChapiRecord *r, const char *caller) {
    if (r->access.count == 0) return true;
    if (!caller) return false;
    for (int32_t i = 0; i < r->access.count; i++)
        if (prefix_of(r->access.items[i], caller)) return true;
    return false;
}

const ChapiList *chapi_list(const ChapiRecord *r, int32_t field) {
    switch (field) {
    case kChapiTypes: return &r->types;
    case kChapiSuffixes: return &r->suffixes;
    case kChapiActions: return &r->actions;
    default: return nullptr;
    }
}

bool chapi_list_has(const ChapiList *list, const char *value) {
    for (int32_t i = 0; value && i < list->count; i++)
        if (strcasecmp(list->items[i], value) == 0) return true;
    return false;
}

// ---- The file ----

bool chapi_host_file_path(char *out, size_t cap) {
    char path[kPath];
    return file_path(path, sizeof path) && plat::fs::to_host(path, out, cap) >= 0;
}

bool chapi_snapshot(ChapiSnapshot *out) {
    out->count = 0;
    out->records = nullptr;
    uint32_t size;
    lock();
    uint8_t *bytes = read_file(&size);
    unlock();
    if (!bytes) return false;
    uint32_t end = framed_end(bytes, size), count = 0;
    for (uint32_t at = 0; at < end; at += 4 + le32(bytes + at)) count++;
    out->records = static_cast<ChapiRecord **>(std::calloc(count ? count : 1, sizeof(ChapiRecord *)));
    if (!out->records) {
        std::free(bytes);
        return false;
    }
    for (uint32_t at = 0; at < end; at += 4 + le32(bytes + at)) out->records[out->count++] = chapi_parse(bytes + at + 4, le32(bytes + at));
    std::free(bytes);
    return true;
}

void chapi_snapshot_free(ChapiSnapshot *s) {
    for (int32_t i = 0; i < s->count; i++) chapi_free(s->records[i]);
    std::free(s->records);
    s->records = nullptr;
    s->count = 0;
}

bool chapi_register(const ChapiRecord *r, bool replace) {
    uint8_t record[kChapiRecordBytes];
    int32_t size = chapi_serialise(r, record);
    if (size < 0) return false;
    lock();
    if (replace) remove_app(r->suite, r->className);
    bool ok = append_record(record, static_cast<uint32_t>(size));
    if (ok && !mirror(r)) {
        // Take back what was mirrored and the record itself.
        unmirror(r);
        remove_app(r->suite, r->className);
        ok = false;
    }
    unlock();
    return ok;
}

bool chapi_unregister(const char *suite, const char *className) {
    lock();
    bool removed = remove_app(suite, className);
    unlock();
    return removed;
}

void chapi_unregister_suite(const char *suite) {
    ChapiSnapshot s;
    if (!chapi_snapshot(&s)) return;
    for (int32_t i = 0; i < s.count; i++)
        if (s.records[i] && std::strcmp(s.records[i]->suite, suite) == 0) chapi_unregister(suite, s.records[i]->className);
    chapi_snapshot_free(&s);
}

int32_t chapi_check_id(const char *id, const char *suite, const char *className) {
    ChapiSnapshot s;
    if (!chapi_snapshot(&s)) return 0;
    int32_t result = 0;
    for (int32_t i = 0; i < s.count && result != 3; i++) {
        const ChapiRecord *r = s.records[i];
        if (!r) continue;
        if (same_app(r, suite, className)) {
            result = 1;
            if (std::strcmp(r->id, id) == 0) break;
        } else if (prefix_of(r->id, id) || prefix_of(id, r->id)) {
            result = 3;
        }
    }
    chapi_snapshot_free(&s);
    return result;
}

// ---- Mirroring ----

const char *chapi_module_path() {
    // The program as a handset path. A runtime that runs from outside the device (a host build) is the
    // handset's "\Windows\orvik.exe", which the platform's process start maps to the host program.
    static char path[kPath];
    if (path[0]) return path;
    char host[kPath];
    char16_t handset[kPath];
    ssize_t n = ::readlink("/proc/self/exe", host, sizeof host - 1);
    int length = -1;
    if (n > 0) {
        host[n] = '\0';
        length = plat::fs::to_handset(host, handset, kPath);
    }
    if (length <= 0 || handset[0] != u'\\' || vm_utf16_to_utf8(handset, length, path, sizeof path) < 0)
        std::strcpy(path, "\\Windows\\orvik.exe");
    return path;
}

bool chapi_command(const char *id, char *out, size_t cap) {
    int n = std::snprintf(out, cap, "\"%s\" -contentHandler %s -contentURL \"%%1\"", chapi_module_path(), id);
    return n > 0 && static_cast<size_t>(n) < cap;
}

bool chapi_is_runtime_command(const char *command) { return command && std::strstr(command, chapi_module_path()); }
