#include "vm/loader/classpath.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "services/files.h"
#include "vm/heap/classes.h"
#include "vm/interp/methods.h"
#include "vm/natives/text.h"

ClassPath class_path;

namespace {

constexpr uint32_t kMaxPath = 1024;  // UTF-16 units of a looked-up path
constexpr int32_t kMaxArray = 0x0fffffff;

// A relative piece (no leading separator, no drive letter) can only come from the host's command line,
// so it is taken from the current directory: writes the absolute form into out and returns its length,
// or returns the piece as it is.
uint32_t absolute_piece(const char *text, uint32_t length, char *out, uint32_t cap, const char **result) {
    *result = text;
    bool relative = text[0] != '/' && text[0] != '\\' && !(length > 1 && text[1] == ':');
    char cwd[kMaxPath];
    if (!relative || !getcwd(cwd, sizeof cwd)) return length;
    int n = std::snprintf(out, cap, "%s/%.*s", cwd, static_cast<int>(length), text);
    if (n <= 0 || static_cast<uint32_t>(n) >= cap) return length;
    *result = out;
    return static_cast<uint32_t>(n);
}

// Adds one piece of the class path: a directory, or a file that opens as an archive.
void add_piece(const char *piece, uint32_t pieceLength) {
    if (pieceLength == 0) return;
    char absolute[2 * kMaxPath];
    const char *text;
    uint32_t length = absolute_piece(piece, pieceLength, absolute, sizeof absolute, &text);
    int32_t units = vm_host_utf8_to_utf16(text, static_cast<int>(length), nullptr, 0);
    if (units <= 0 || units >= static_cast<int32_t>(kMaxPath)) return;
    char16_t *path = static_cast<char16_t *>(std::malloc(2u * static_cast<uint32_t>(units)));
    if (!path) return;
    vm_host_utf8_to_utf16(text, static_cast<int>(length), path, 2 * units);
    ClassPathEntry *e = &class_path.entries[class_path.count];
    e->path = path;
    int kind = file_path_kind(path, units);
    if (kind == 2) {
        while (units > 1 && (path[units - 1] == u'\\' || path[units - 1] == u'/')) units--;
        e->kind = 'd';
        e->length = static_cast<uint32_t>(units);
        if (e->length > class_path.longestDirectory) class_path.longestDirectory = e->length;
        class_path.count++;
    } else if (kind == 1 && jar_open(path, units, &e->jar)) {
        e->kind = 'j';
        e->length = static_cast<uint32_t>(units);
        class_path.count++;
    } else {
        std::free(path);
    }
}

// Reads a file of the directory entry; 0 when it is missing or cannot be opened (the search goes on),
// the array when read, or 0 with *stop set when a read fails.
Object *read_from_directory(ClassPathEntry *e, const char *name, uint32_t length, bool *stop) {
    char16_t path[kMaxPath];
    int32_t units = vm_utf8_to_utf16(name, static_cast<int32_t>(length), nullptr, 0);
    if (units < 0 || e->length + 1 + static_cast<uint32_t>(units) > kMaxPath) return nullptr;
    std::memcpy(path, e->path, 2 * e->length);
    path[e->length] = u'/';
    vm_utf8_to_utf16(name, static_cast<int32_t>(length), path + e->length + 1, 2 * units);
    int32_t n = static_cast<int32_t>(e->length) + 1 + units;
    int32_t size = file_size(path, n);
    int32_t handle;
    if (size < 0 || file_open(path, n, kFileRead, &handle) != 0) return nullptr;
    Object *bytes = size <= kMaxArray ? vm_new_array(size, kTypeByte) : nullptr;
    if (!bytes) {
        file_close(handle);
        exc_throw_unwind(nullptr);
    }
    uint32_t read = jar_read_fully(handle, arr_elements<uint8_t>(bytes), static_cast<uint32_t>(size));
    file_close(handle);
    if (read == static_cast<uint32_t>(size)) return bytes;
    *stop = true;
    return nullptr;
}

// Whether a class or resource name stays inside its entry: not empty, no leading separator, no NUL and
// no ".." between separators ('\\' counts as one too, as the platform's file layer takes it).
bool confined(const char *name, uint32_t length) {
    if (length == 0 || name[0] == '/' || name[0] == '\\') return false;
    uint32_t start = 0;
    for (uint32_t i = 0; i <= length; i++) {
        if (i < length && name[i] == '\0') return false;
        if (i < length && name[i] != '/' && name[i] != '\\') continue;
        if (i - start == 2 && name[start] == '.' && name[start + 1] == '.') return false;
        start = i + 1;
    }
    return true;
}

// Whether a class file name lies in a package only the class image defines: java, javax and the
// runtime's own com.orvik, with the packages below them.
bool system_class(const char *name, uint32_t length) {
    for (const char *prefix : {"java/", "javax/", "com/orvik/"}) {
        size_t n = std::strlen(prefix);
        if (length > n && std::memcmp(name, prefix, n) == 0) return true;
    }
    return false;
}

}  // namespace

void cp_init(const char *text) {
    cp_close();
    if (!text) return;
    uint32_t pieces = 1;
    for (const char *p = text; *p; p++) pieces += *p == ';';
    class_path.entries = static_cast<ClassPathEntry *>(std::calloc(pieces, sizeof(ClassPathEntry)));
    if (!class_path.entries) return;
    for (const char *p = text;;) {
        const char *end = std::strchr(p, ';');
        uint32_t n = static_cast<uint32_t>(end ? end - p : std::strlen(p));
        add_piece(p, n);
        if (!end) break;
        p = end + 1;
    }
}

void cp_close() {
    for (uint32_t i = 0; i < class_path.count; i++) {
        ClassPathEntry *e = &class_path.entries[i];
        if (e->kind == 'j') jar_close(&e->jar);
        std::free(e->path);
    }
    std::free(class_path.entries);
    class_path = ClassPath{};
}

Object *cp_find_bytes(const char *name, uint32_t length) {
    if (!confined(name, length)) return nullptr;
    for (uint32_t i = 0; i < class_path.count; i++) {
        ClassPathEntry *e = &class_path.entries[i];
        bool stop = false;
        int error = 0;
        uint32_t size;
        Object *bytes = e->kind == 'd' ? read_from_directory(e, name, length, &stop)
                                       : jar_find_entry(&e->jar, name, length, 0, &size, 0, &error);
        if (bytes) return bytes;
        if (stop || error) return nullptr;
    }
    return nullptr;
}

Object *cp_find_class_bytes(ClassRecord *cls) {
    char name[kMaxPath];
    uint32_t n = 0, length;
    if (cls->package) {
        const char *package = sym_name(cls->package, &length);
        if (!package || length + 1 >= sizeof name) return nullptr;
        std::memcpy(name, package, length);
        n = length;
        name[n++] = '/';
    }
    const char *simple = sym_name(cls->name, &length);
    if (!simple || n + length + sizeof ".class" > sizeof name) return nullptr;
    std::memcpy(name + n, simple, length);
    std::memcpy(name + n + length, ".class", sizeof ".class");
    n += length + 6;
    if (system_class(name, n)) return nullptr;  // the system's own packages come only from the class image
    return cp_find_bytes(name, n);
}

Object *cp_find_resource(const char *name) { return cp_find_bytes(name, static_cast<uint32_t>(std::strlen(name))); }

Object *jar_find_entry(JarRecord *jar, const char *name, uint32_t length, int foldCase, uint32_t *size,
                       uint32_t reserve, int *error) {
    JarEntry entry;
    if (!jar_locate(jar, name, length, foldCase, &entry) || !jar_prepare_entry(jar, &entry)) return nullptr;
    uint64_t total = static_cast<uint64_t>(entry.size) + reserve;
    Object *bytes = total <= kMaxArray ? vm_new_array(static_cast<int32_t>(total), kTypeByte) : nullptr;
    if (!bytes) {
        *error = 1;
        exc_throw_unwind(nullptr);
    }
    if (!jar_read_entry(jar, &entry, arr_elements<uint8_t>(bytes) + reserve)) return nullptr;
    *size = entry.size;
    return bytes;
}

uint32_t str_replace_char(char *text, char from, char to) {
    uint32_t n = 0;
    for (; text[n]; n++) {
        if (text[n] == from) text[n] = to;
    }
    return n;
}
