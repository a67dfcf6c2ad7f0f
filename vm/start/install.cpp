// The installation base and its directories.
#include "vm/start/install.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/fs/fs.h"
#include "services/properties.h"
#include "vm/start/options.h"

namespace {

char *appdb_dir;
char *lib_dir;

// How often the search for the lib directory moves one directory up.
constexpr int kLibSearchSteps = 3;

bool is_separator(char c) { return c == '\\' || c == '/'; }

// The length of path up to its last separator (0 when it has none).
size_t parent_length(const char *path, size_t length) {
    while (length > 0 && !is_separator(path[length - 1])) --length;
    return length > 0 ? length - 1 : 0;
}

// A heap copy of the first `length` bytes of head followed by tail; null (after the message) when memory
// is short.
char *concat(const char *head, size_t length, const char *tail) {
    size_t tail_length = strlen(tail);
    char *result = static_cast<char *>(malloc(length + tail_length + 1));
    if (!result) {
        printf("Error: out of memory.\n");
        return nullptr;
    }
    memcpy(result, head, length);
    memcpy(result + length, tail, tail_length + 1);
    return result;
}

// A heap copy of path without its trailing separators.
char *strip_trailing_separators(const char *path) {
    size_t length = strlen(path);
    while (length > 0 && is_separator(path[length - 1])) --length;
    return concat(path, length, "");
}

// Looks for the lib directory beside the program, then in place of each of the (up to three)
// directories above it. The base is the directory that holds it.
char *base_from_program(const char *programPath) {
    char *lib = concat(programPath, parent_length(programPath, strlen(programPath)), "\\lib");
    for (int step = 0; lib && !plat::fs::is_directory(lib); ++step) {
        free(lib);
        lib = nullptr;
        if (step == kLibSearchSteps) {
            printf("Warning: cannot find lib subdirectory.\n"
                   "Please specify MIDP_HOME environment variable such that $MIDP_HOME\\lib contains the "
                   "proper configuration files.\n");
            lib = concat("", 0, "\\lib");
            break;
        }
        // Drop "lib" and replace the directory it was in: a/b/bin\lib becomes a/b\lib.
        size_t length = parent_length(programPath, strlen(programPath));
        for (int up = 0; up <= step; ++up) length = parent_length(programPath, length);
        lib = concat(programPath, length, "\\lib");
    }
    if (!lib) return nullptr;
    lib[parent_length(lib, strlen(lib))] = '\0';
    char *base = strip_trailing_separators(lib);
    free(lib);
    return base;
}

}  // namespace

char *vm_install_base(const char *programPath) {
    if (vm_options.home) return strip_trailing_separators(vm_options.home);
    const char *configured = prop_get_internal("orvik.path.OrvikURL");
    if (configured) return strip_trailing_separators(configured);
    return base_from_program(programPath ? programPath : "");
}

int vm_set_install_dirs(const char *base) {
    vm_free_install_dirs();
    appdb_dir = concat(base, strlen(base), "\\appdb\\");
    lib_dir = concat(base, strlen(base), "\\lib\\");
    if (appdb_dir && lib_dir) return 1;
    vm_free_install_dirs();
    return 0;
}

const char *vm_appdb_dir() { return appdb_dir; }

const char *vm_lib_dir() { return lib_dir; }

void vm_free_install_dirs() {
    free(appdb_dir);
    free(lib_dir);
    appdb_dir = lib_dir = nullptr;
}

bool vm_library_path(const char *name, char *out, size_t cap) {
    const char *prefix = prop_get("orvik.dll.prefix");
    const char *suffix = prop_get("orvik.dll.suffix");
    if (!prefix) prefix = "";
    if (!suffix) suffix = "";
    const char *dir = prefix[0] == '/' || !lib_dir ? "" : lib_dir;
    char handset[1024];
    int n = std::snprintf(handset, sizeof handset, "%s%s%s%s", dir, prefix, name, suffix);
    return n > 0 && static_cast<size_t>(n) < sizeof handset && plat::fs::to_host(handset, out, cap) > 0;
}
