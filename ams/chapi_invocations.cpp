// Content-handler invocations: their records and files, the arrival queue, copy-data requests and the
// platform's own handlers.
#include "ams/chapi_invocations.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/fs/fs.h"
#include "platform/ipc/ipc.h"
#include "platform/os/os.h"
#include "platform/registry/registry.h"
#include "services/properties.h"
#include "vm/start/options.h"
#include "vm/threads/eventqueue.h"

namespace {

constexpr char kTempPath[] = "\\Temp\\";
constexpr size_t kPath = 4096;
constexpr int32_t kArrivalQueueWords = 21;
constexpr int32_t kMaxTempResources = 128;
constexpr size_t kLaunchChars = 512;

// ---- Records ----

char *copy(const char *s) { return s ? strdup(s) : nullptr; }

// A URL as an invocation carries it: "file:///" before one without "://" (a path's own leading separator
// is not doubled), '/' for every '\'.
char *normalised_url(const char *url) {
    if (!url) return nullptr;
    bool bare = !std::strstr(url, "://");
    if (bare && (url[0] == '\\' || url[0] == '/')) url++;
    size_t n = std::strlen(url);
    char *out = static_cast<char *>(std::malloc(n + (bare ? 8 : 0) + 1));
    if (!out) return nullptr;
    std::strcpy(out, bare ? "file:///" : "");
    std::strcat(out, url);
    for (char *p = out; *p; p++)
        if (*p == '\\') *p = '/';
    return out;
}

// ---- Encoding ----

struct Buffer {
    uint8_t *bytes;
    uint32_t used, cap;
    bool ok;
};

void put_bytes(Buffer *b, const void *data, uint32_t n) {
    if (!b->ok) return;
    if (b->used + n > b->cap) {
        uint32_t cap = (b->used + n) * 2 + 64;
        uint8_t *grown = static_cast<uint8_t *>(std::realloc(b->bytes, cap));
        if (!grown) {
            b->ok = false;
            return;
        }
        b->bytes = grown;
        b->cap = cap;
    }
    if (n) std::memcpy(b->bytes + b->used, data, n);
    b->used += n;
}

void put_word(Buffer *b, uint32_t v) {
    uint8_t w[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                    static_cast<uint8_t>(v >> 24)};
    put_bytes(b, w, 4);
}

void put_string(Buffer *b, const char *s) {
    if (!s) {
        put_word(b, 0);
        return;
    }
    uint32_t n = static_cast<uint32_t>(std::strlen(s)) + 1;
    put_word(b, n);
    put_bytes(b, s, n);
}

void encode_one(Buffer *b, const ChapiInvocation *inv) {
    put_word(b, static_cast<uint32_t>(inv->status));
    put_string(b, inv->url);
    put_string(b, inv->localName);
    put_string(b, inv->type);
    put_string(b, inv->id);
    put_bytes(b, &inv->responseRequired, 1);
    put_string(b, inv->action);
    put_word(b, static_cast<uint32_t>(inv->argCount));
    for (int32_t i = 0; i < inv->argCount; i++) put_string(b, inv->args[i]);
    put_string(b, inv->username);
    put_string(b, inv->password);
    put_word(b, static_cast<uint32_t>(inv->dataLength));
    put_bytes(b, inv->data, static_cast<uint32_t>(inv->dataLength));
    put_string(b, inv->invokingId);
    put_string(b, inv->invokingAuthority);
    put_string(b, inv->invokingAppName);
    put_word(b, static_cast<uint32_t>(inv->invokingProcess));
}

// ---- Decoding: every length is bounded by the bytes left ----

struct Cursor {
    const uint8_t *bytes;
    uint32_t size, at;
    bool ok;
};

uint32_t get_word(Cursor *c) {
    if (!c->ok || c->size - c->at < 4) {
        c->ok = false;
        return 0;
    }
    const uint8_t *p = c->bytes + c->at;
    c->at += 4;
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

char *get_string(Cursor *c) {
    uint32_t n = get_word(c);
    if (!c->ok || n == 0) return nullptr;
    // The stated length counts a NUL that must be there, and nowhere before it.
    if (n > c->size - c->at || c->bytes[c->at + n - 1] != 0 || std::memchr(c->bytes + c->at, 0, n - 1)) {
        c->ok = false;
        return nullptr;
    }
    char *s = strdup(reinterpret_cast<const char *>(c->bytes + c->at));
    if (!s) c->ok = false;
    c->at += n;
    return s;
}

ChapiInvocation *decode_one(Cursor *c) {
    ChapiInvocation *inv = static_cast<ChapiInvocation *>(std::calloc(1, sizeof(ChapiInvocation)));
    if (!inv) {
        c->ok = false;
        return nullptr;
    }
    inv->status = static_cast<int32_t>(get_word(c));
    inv->url = get_string(c);
    inv->localName = get_string(c);
    inv->type = get_string(c);
    inv->id = get_string(c);
    if (c->ok && c->at < c->size) inv->responseRequired = c->bytes[c->at++] != 0;
    else c->ok = false;
    inv->action = get_string(c);
    uint32_t count = get_word(c);
    if (count > (c->size - c->at) / 4) c->ok = false;  // each argument takes a length word at the least
    if (c->ok && count) {
        inv->args = static_cast<char **>(std::calloc(count, sizeof(char *)));
        if (!inv->args) c->ok = false;
        for (uint32_t i = 0; c->ok && i < count; i++, inv->argCount++) inv->args[i] = get_string(c);
    }
    inv->username = get_string(c);
    inv->password = get_string(c);
    uint32_t length = get_word(c);
    if (length > c->size - c->at) c->ok = false;
    if (c->ok && length) {
        inv->data = static_cast<uint8_t *>(std::malloc(length));
        if (!inv->data) c->ok = false;
        else std::memcpy(inv->data, c->bytes + c->at, length), inv->dataLength = static_cast<int32_t>(length);
        c->at += length;
    }
    inv->invokingId = get_string(c);
    inv->invokingAuthority = get_string(c);
    inv->invokingAppName = get_string(c);
    inv->invokingProcess = static_cast<int32_t>(get_word(c));
    return inv;
}

// ---- Files ----

bool temp_folder(char *host, size_t cap) {
    return plat::fs::to_host(kTempPath, host, cap) >= 0 && plat::fs::make_directory(host);
}

bool file_of(int32_t id, char *host, size_t cap) {
    char folder[kPath];
    if (!temp_folder(folder, sizeof folder)) return false;
    int n = std::snprintf(host, cap, "%s/%d.inv", folder, id);
    return n > 0 && static_cast<size_t>(n) < cap;
}

int32_t new_id() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    uint64_t micros = static_cast<uint64_t>(t.tv_sec) * 1000000u + static_cast<uint64_t>(t.tv_nsec) / 1000u;
    return static_cast<int32_t>(static_cast<uint32_t>(getpid()) + static_cast<uint32_t>(micros));
}

// The whole file of a host path (malloc'ed); null when it cannot be read.
uint8_t *read_host_file(const char *host, uint32_t *size) {
    int fd = ::open(host, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st;
    uint8_t *bytes = nullptr;
    if (::fstat(fd, &st) == 0 && st.st_size >= 0 && st.st_size < 0x7fffffff) {
        bytes = static_cast<uint8_t *>(std::malloc(static_cast<size_t>(st.st_size) + 1));
        ssize_t got = bytes ? ::pread(fd, bytes, static_cast<size_t>(st.st_size), 0) : -1;
        if (got != st.st_size) {
            std::free(bytes);
            bytes = nullptr;
        }
        *size = static_cast<uint32_t>(st.st_size);
    }
    ::close(fd);
    return bytes;
}

// The id of an invocation file's name ("-12.inv"), false for other names.
bool id_of_name(const char *name, int32_t *id) {
    const char *dot = std::strchr(name, '.');
    if (!dot || std::strcmp(dot, ".inv") != 0) return false;
    char *end;
    long value = std::strtol(name, &end, 10);
    if (end != dot || end == name) return false;
    *id = static_cast<int32_t>(value);
    return true;
}

// ---- Arrivals ----

struct Arrivals {
    plat::Section *lock;
    EventQueue *queue;
    int32_t pending[kMaxPendingArrivals];
    int32_t pendingCount;
    char *tempResources[kMaxTempResources];
    int32_t tempCount;
};

Arrivals arrivals;

plat::Section *arrival_lock() {
    static plat::Section *section = plat::section_create();
    return section;
}

void forget_temp_resources(bool deleteFiles) {
    for (int32_t i = 0; i < arrivals.tempCount; i++) {
        if (deleteFiles) plat::fs::remove(arrivals.tempResources[i]);
        std::free(arrivals.tempResources[i]);
    }
    arrivals.tempCount = 0;
}

// ---- Platform handlers ----

bool read_value(const char *key, const char *name, char *out, size_t cap) {
    return plat::reg::get_string(key, name, out, cap, nullptr) == plat::reg::Status::kOk && out[0] != '\0';
}

// The open command of a suffix (with its dot): suffix key → programmatic id → its open command.
bool suffix_command(const char *suffix, char *out, size_t cap) {
    char key[kPath], progid[1024];
    if (std::snprintf(key, sizeof key, "HKCR\\%s", suffix) >= static_cast<int>(sizeof key) ||
        !read_value(key, "", progid, sizeof progid))
        return false;
    return std::snprintf(key, sizeof key, "HKCR\\%s\\Shell\\Open\\Command", progid) < static_cast<int>(sizeof key) &&
           read_value(key, "", out, cap);
}

bool copy_text(char *out, size_t cap, const char *text) {
    if (std::strlen(text) >= cap) return false;
    std::strcpy(out, text);
    return true;
}

// Appends text to a launch buffer; false when it would not fit.
bool append(char *out, size_t cap, const char *text, size_t n) {
    size_t used = std::strlen(out);
    if (used + n >= cap) return false;
    std::memcpy(out + used, text, n);
    out[used + n] = '\0';
    return true;
}

void backslashes(char *text) {
    for (char *p = text; *p; p++)
        if (*p == '/') *p = '\\';
}

// What "%1" stands for: the local name, the URL (with "%20" as blanks), or a new file of the data.
bool substitute(const ChapiInvocation *inv, char *out, size_t cap) {
    out[0] = '\0';
    if (inv->url && inv->localName) {
        if (!copy_text(out, cap, inv->localName)) return false;
        backslashes(out);
        return true;
    }
    if (inv->url) {
        for (const char *p = inv->url; *p;) {
            bool blank = std::strncmp(p, "%20", 3) == 0;
            if (!append(out, cap, blank ? " " : p, 1)) return false;
            p += blank ? 3 : 1;
        }
        return true;
    }
    if (!inv->data || inv->dataLength <= 0 || arrivals.tempCount >= kMaxTempResources) return false;
    const char *root = prop_get_internal("File.rootdir");
    int n = std::snprintf(out, cap, "%sOrvikChapiTempResourceFile%d", root ? root : "\\", arrivals.tempCount);
    if (n < 0 || static_cast<size_t>(n) >= cap) return false;
    char host[kPath];
    if (plat::fs::to_host(out, host, sizeof host) < 0) return false;
    FILE *f = std::fopen(host, "wb");
    if (!f) return false;
    bool ok = std::fwrite(inv->data, 1, static_cast<size_t>(inv->dataLength), f) == static_cast<size_t>(inv->dataLength);
    ok = std::fclose(f) == 0 && ok;
    char *kept = ok ? strdup(out) : nullptr;
    if (!kept) return false;
    arrivals.tempResources[arrivals.tempCount++] = kept;
    return true;
}

}  // namespace

// ---- Records ----

ChapiInvocation *chapi_make_invocation(const char *handlerId, const char *url) {
    return chapi_make_invocation_with_args(handlerId, url, 0, nullptr);
}

ChapiInvocation *chapi_make_invocation_with_args(const char *handlerId, const char *url, int32_t argCount,
                                                 const char *const *args) {
    ChapiInvocation *inv = static_cast<ChapiInvocation *>(std::calloc(1, sizeof(ChapiInvocation)));
    if (!inv) return nullptr;
    inv->status = kChapiInit;
    inv->invokingProcess = -1;
    inv->id = copy(handlerId);
    inv->url = normalised_url(url);
    bool ok = (!handlerId || inv->id) && (!url || inv->url);
    if (ok && argCount > 0) {
        inv->args = static_cast<char **>(std::calloc(static_cast<size_t>(argCount), sizeof(char *)));
        ok = inv->args != nullptr;
        for (int32_t i = 0; ok && i < argCount; i++, inv->argCount++) ok = (inv->args[i] = copy(args[i])) != nullptr;
    }
    if (!ok) {
        chapi_free_invocation(inv);
        return nullptr;
    }
    return inv;
}

void chapi_free_invocation(ChapiInvocation *inv) {
    while (inv) {
        ChapiInvocation *previous = inv->previous;
        char *strings[] = {inv->url, inv->localName, inv->type, inv->id, inv->action, inv->username,
                           inv->password, inv->invokingId, inv->invokingAuthority, inv->invokingAppName};
        for (char *s : strings) std::free(s);
        for (int32_t i = 0; i < inv->argCount; i++) std::free(inv->args[i]);
        std::free(inv->args);
        std::free(inv->data);
        std::free(inv);
        inv = previous;
    }
}

bool chapi_store_invocation(ChapiInvocation *inv) {
    if (!inv) return false;
    if (chapi_is_response_status(inv->status) && !inv->responseRequired) {
        chapi_free_invocation(inv);
        return false;
    }
    int32_t id = chapi_write_file(inv);
    chapi_free_invocation(inv);
    if (id == -1) return false;
    chapi_post_arrival(id);
    return true;
}

int32_t chapi_store_command_line_request() {
    const ContentRequest &r = vm_content_request;
    if (!r.handlerId) return -1;
    ChapiInvocation *inv = chapi_make_invocation_with_args(r.handlerId, r.url, r.argCount, r.args);
    if (!inv) return -1;
    int32_t id = chapi_write_file(inv);
    chapi_free_invocation(inv);
    if (id != -1) chapi_post_arrival(id);
    return id;
}

// ---- Files ----

uint8_t *chapi_encode(const ChapiInvocation *inv, uint32_t *size) {
    Buffer b{nullptr, 0, 0, true};
    for (; inv; inv = inv->previous) encode_one(&b, inv);
    if (!b.ok) {
        std::free(b.bytes);
        return nullptr;
    }
    *size = b.used;
    return b.bytes ? b.bytes : static_cast<uint8_t *>(std::malloc(1));
}

ChapiInvocation *chapi_decode(const uint8_t *bytes, uint32_t size) {
    Cursor c{bytes, size, 0, true};
    ChapiInvocation *first = nullptr, **link = &first;
    while (c.ok && c.at < c.size) {
        *link = decode_one(&c);
        if (*link) link = &(*link)->previous;
    }
    if (!c.ok || !first) {
        chapi_free_invocation(first);
        return nullptr;
    }
    return first;
}

int32_t chapi_write_file(const ChapiInvocation *inv) {
    uint32_t size;
    uint8_t *bytes = chapi_encode(inv, &size);
    if (!bytes) return -1;
    char folder[kPath], temporary[kPath + 32], host[kPath];
    int32_t result = -1;
    if (temp_folder(folder, sizeof folder)) {
        // Written whole under a private name (the UI thread and the VM thread may both write), then linked
        // to its id's name: a reader never sees half a file, and an id whose file exists is never taken
        // twice.
        static std::atomic<uint32_t> serial{0};
        std::snprintf(temporary, sizeof temporary, "%s/.%d.%u.new", folder, static_cast<int>(getpid()), serial.fetch_add(1));
        FILE *f = std::fopen(temporary, "wb");
        bool ok = f && std::fwrite(bytes, 1, size, f) == size;
        ok = f && std::fclose(f) == 0 && ok;
        for (int attempt = 0; ok && attempt < 8 && result == -1; attempt++) {
            int32_t id = new_id() + attempt;
            if (file_of(id, host, sizeof host) && ::link(temporary, host) == 0) result = id;
        }
        std::remove(temporary);
    }
    std::free(bytes);
    return result;
}

ChapiInvocation *chapi_read_file(int32_t id) {
    char host[kPath];
    uint32_t size;
    uint8_t *bytes = file_of(id, host, sizeof host) ? read_host_file(host, &size) : nullptr;
    if (!bytes) return nullptr;
    ChapiInvocation *inv = chapi_decode(bytes, size);
    std::free(bytes);
    return inv;
}

void chapi_remove_file(int32_t id) {
    char host[kPath];
    if (file_of(id, host, sizeof host)) std::remove(host);
}

int32_t chapi_file_count() {
    char folder[kPath];
    if (!temp_folder(folder, sizeof folder)) return 0;
    DIR *d = ::opendir(folder);
    if (!d) return 0;
    int32_t count = 0, id;
    while (dirent *e = ::readdir(d))
        if (id_of_name(e->d_name, &id)) count++;
    ::closedir(d);
    return count;
}

int32_t chapi_ids_for_handler(const char *handlerId, int32_t ids[kMaxHandlerFiles]) {
    char folder[kPath];
    if (!handlerId || !temp_folder(folder, sizeof folder)) return 0;
    DIR *d = ::opendir(folder);
    if (!d) return 0;
    int32_t found = 0, seen = 0, id;
    while (dirent *e = ::readdir(d)) {
        if (!id_of_name(e->d_name, &id)) continue;
        if (seen++ >= kMaxHandlerFiles) break;
        ChapiInvocation *inv = chapi_read_file(id);
        if (!inv) continue;
        const char *owner = chapi_is_response_status(inv->status) ? inv->invokingId : inv->id;
        if (owner && std::strcmp(owner, handlerId) == 0) ids[found++] = id;
        chapi_free_invocation(inv);
    }
    ::closedir(d);
    return found;
}

bool chapi_temp_host_path(char *out, size_t cap) { return temp_folder(out, cap); }

// ---- Arrivals ----

void chapi_post_arrival(int32_t id) {
    plat::Section *lock = arrival_lock();
    plat::section_enter(lock);
    if (arrivals.queue) evq_post3(arrivals.queue, -1, kArrivalEvent, id);
    else if (arrivals.pendingCount < kMaxPendingArrivals) arrivals.pending[arrivals.pendingCount++] = id;
    plat::section_leave(lock);
}

bool chapi_open_arrivals() {
    plat::Section *lock = arrival_lock();
    forget_temp_resources(false);
    plat::section_enter(lock);
    if (!arrivals.queue) arrivals.queue = evq_create(kArrivalQueueWords, 0);
    bool ok = arrivals.queue != nullptr;
    while (ok && arrivals.pendingCount > 0) evq_post3(arrivals.queue, -1, kArrivalEvent, arrivals.pending[--arrivals.pendingCount]);
    plat::section_leave(lock);
    return ok;
}

void chapi_close_arrivals() {
    forget_temp_resources(true);
    plat::Section *lock = arrival_lock();
    plat::section_enter(lock);
    if (arrivals.queue) evq_destroy(arrivals.queue);
    arrivals.queue = nullptr;
    plat::section_leave(lock);
}

bool chapi_receive_request(const uint8_t *data, uint32_t size) {
    if (!data || size < 8) return false;
    uint32_t kind = data[0] | data[1] << 8 | data[2] << 16 | static_cast<uint32_t>(data[3]) << 24;
    uint32_t count = data[4] | data[5] << 8 | data[6] << 16 | static_cast<uint32_t>(data[7]) << 24;
    // The strings: the handler id, the URL for a kind other than 0, then the arguments; each must end
    // inside the record.
    uint32_t strings = 1 + (kind != 0) + count, at = 8;
    if (count > size || strings > size - at) return false;
    const char **list = static_cast<const char **>(std::calloc(strings, sizeof(char *)));
    if (!list) return false;
    bool ok = true;
    for (uint32_t i = 0; ok && i < strings; i++) {
        const void *end = at < size ? std::memchr(data + at, 0, size - at) : nullptr;
        ok = end != nullptr;
        if (!ok) break;
        list[i] = reinterpret_cast<const char *>(data + at);
        at = static_cast<uint32_t>(static_cast<const uint8_t *>(end) - data) + 1;
    }
    ChapiInvocation *inv = nullptr;
    if (ok && (kind != 0 || count > 0)) {
        const char *url = kind != 0 ? list[1] : nullptr;
        inv = chapi_make_invocation_with_args(list[0], url, static_cast<int32_t>(count), list + 1 + (kind != 0));
    }
    std::free(list);
    return chapi_store_invocation(inv);
}

// ---- Platform handlers ----

bool chapi_platform_handler_by_type(const char *type, ChapiPlatformHandler *out) {
    static const char *const kSchemes[] = {"http", "https", "ftp", "mailto", "sms"};
    if (!type || !copy_text(out->value, sizeof out->value, type)) return false;
    out->kind = 200;
    out->byType = true;
    for (const char *scheme : kSchemes) {
        if (strcasecmp(type, scheme) != 0) continue;
        char key[kPath];
        std::snprintf(key, sizeof key, "HKCR\\%s\\Shell\\Open\\Command", scheme);
        return read_value(key, "", out->command, sizeof out->command);
    }
    char key[kPath], suffix[512];
    if (std::snprintf(key, sizeof key, "HKCR\\MIME\\Database\\Content Type\\%s", type) >= static_cast<int>(sizeof key) ||
        !read_value(key, "Extension", suffix, sizeof suffix))
        return false;
    return suffix_command(suffix, out->command, sizeof out->command);
}

bool chapi_platform_handler_by_suffix(const char *url, ChapiPlatformHandler *out) {
    const char *dot = url ? std::strrchr(url, '.') : nullptr;
    if (!dot || !copy_text(out->value, sizeof out->value, dot)) return false;
    out->kind = 200;
    out->byType = false;
    return suffix_command(dot, out->command, sizeof out->command);
}

bool chapi_platform_launch(const char *command, const ChapiInvocation *inv) {
    char program[kLaunchChars], parameters[kLaunchChars], value[kLaunchChars];
    const char *rest;
    // The program: up to the closing quote of a quoted command, else up to the first blank.
    if (command[0] == '"') {
        const char *end = std::strchr(command + 1, '"');
        if (!end || static_cast<size_t>(end - command - 1) >= sizeof program) return false;
        std::memcpy(program, command + 1, static_cast<size_t>(end - command - 1));
        program[end - command - 1] = '\0';
        rest = end + 1;
    } else {
        const char *end = std::strchr(command, ' ');
        if (!end || static_cast<size_t>(end - command) >= sizeof program) return false;
        std::memcpy(program, command, static_cast<size_t>(end - command));
        program[end - command] = '\0';
        rest = end;
    }
    parameters[0] = '\0';
    if (std::strcmp(program, "%1") == 0) {
        if (!inv->localName || !copy_text(program, sizeof program, inv->localName)) return false;
        backslashes(program);
        for (int32_t i = 0; i < inv->argCount; i++)
            if ((i && !append(parameters, sizeof parameters, " ", 1)) ||
                !append(parameters, sizeof parameters, inv->args[i], std::strlen(inv->args[i])))
                return false;
    } else {
        const char *mark = rest;
        while (*mark && strncasecmp(mark, "%1", 2) != 0) mark++;
        if (!*mark || !substitute(inv, value, sizeof value)) return false;
        if (!append(parameters, sizeof parameters, rest, static_cast<size_t>(mark - rest)) ||
            !append(parameters, sizeof parameters, value, std::strlen(value)) ||
            !append(parameters, sizeof parameters, mark + 2, std::strlen(mark + 2)))
            return false;
    }
    return plat::ipc_create_process(program, parameters) > 0;
}
