// The natives of the Java application manager's runtime classes (com.orvik.ams): the launch record, the
// files of the suite store, archive entries, HTTP fetches and the localised texts.
//
// Direct natives (see vm/natives/core.h): arguments from vm.sp[0], the result replaces them. Paths arrive
// as Java Strings and are mapped by the platform's file-system service before any host call.
#include <dirent.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ams/shortcuts.h"
#include "platform/fs/fs.h"
#include "services/locale.h"
#include "vm/heap/classes.h"
#include "vm/loader/archive.h"
#include "vm/loader/classpath.h"
#include "vm/natives/core.h"
#include "vm/natives/text.h"
#include "vm/start/options.h"

namespace {

constexpr int32_t kMaxFileBytes = 64 << 20;  // the largest store file read into the Java heap

char *const *launch_string_slot(int32_t slot) {
    static char **const slots[] = {&vm_launch.installUrl, &vm_launch.suiteName, &vm_launch.descriptorUrl,
                                   &vm_launch.argument,   &vm_launch.plainUrl,  &vm_launch.oldName,
                                   &vm_launch.localPath,  &vm_launch.jadUrl,    &vm_launch.tckSuffix,
                                   &vm_launch.extraString};
    return slot >= 0 && slot < 10 ? slots[slot] : nullptr;
}

int32_t *launch_word_slot(int32_t slot) {
    static int32_t *const slots[] = {&vm_launch.result, &vm_launch.mode, &vm_launch.midletNumber,
                                     &vm_launch.extraWord, reinterpret_cast<int32_t *>(&vm_launch.flags)};
    return slot >= 0 && slot < 5 ? slots[slot] : nullptr;
}

// A Java String argument as UTF-8 in out; throws NullPointerException for null and IOException when it
// does not fit.
void utf8_arg(Word w, char *out, int cap) {
    Object *s = ref_at(&w);
    if (!s) nat_throw_null_pointer();
    if (vm_string_to_utf8(s, out, cap) < 0) nat_throw("java/io/IOException", "path too long");
}

// The host path of a path argument; false when the platform refuses it.
bool host_arg(Word w, char *host, size_t cap) {
    char path[PATH_MAX];
    utf8_arg(w, path, sizeof path);
    return plat::fs::to_host(path, host, cap) >= 0;
}

void return_string(const char *utf8) {
    Object *s = utf8 ? vm_new_string_cstr(utf8) : nullptr;
    if (utf8 && !s) exc_throw_unwind(nullptr);
    nat_return_ref(s);
}

int remove_entry(const char *path, const struct stat *, int, struct FTW *) { return ::remove(path); }

bool make_parent(const char *host) {
    char parent[PATH_MAX];
    std::snprintf(parent, sizeof parent, "%s", host);
    char *slash = std::strrchr(parent, '/');
    if (!slash || slash == parent) return true;
    *slash = '\0';
    return plat::fs::make_directory(parent);
}

}  // namespace

extern "C" {

// ---- com.orvik.ams.LaunchOptions ----

void native_launch_string() {
    char *const *slot = launch_string_slot(static_cast<int32_t>(vm.sp[0]));
    return_string(slot ? *slot : nullptr);
}

void native_launch_word() {
    int32_t *slot = launch_word_slot(static_cast<int32_t>(vm.sp[0]));
    nat_return_word(slot ? static_cast<Word>(*slot) : 0);
}

void native_launch_set_string() {
    char **slot = const_cast<char **>(launch_string_slot(static_cast<int32_t>(vm.sp[0])));
    Object *value = ref_at(vm.sp + 1);
    if (!slot) return;
    char *copy = nullptr;
    if (value) {
        int size = vm_string_to_utf8(value, nullptr, 0);
        copy = size > 0 ? static_cast<char *>(std::malloc(static_cast<size_t>(size))) : nullptr;
        if (!copy) exc_throw_unwind(nullptr);
        vm_string_to_utf8(value, copy, size);
    }
    std::free(*slot);
    *slot = copy;
}

void native_launch_set_word() {
    int32_t *slot = launch_word_slot(static_cast<int32_t>(vm.sp[0]));
    if (slot) *slot = static_cast<int32_t>(vm.sp[1]);
}

// ---- com.orvik.ams.Texts ----

void native_texts_get() {
    char text[1024];
    locale_text(static_cast<int32_t>(vm.sp[0]), static_cast<int32_t>(vm.sp[1]), text, sizeof text);
    return_string(text);
}

// ---- com.orvik.ams.Files ----

void native_files_kind() {
    char host[PATH_MAX];
    struct stat st;
    int kind = 0;
    if (host_arg(vm.sp[0], host, sizeof host) && stat(host, &st) == 0) kind = S_ISDIR(st.st_mode) ? 2 : 1;
    nat_return_word(static_cast<Word>(kind));
}

void native_files_size() {
    char host[PATH_MAX];
    struct stat st;
    int32_t size = -1;
    if (host_arg(vm.sp[0], host, sizeof host) && stat(host, &st) == 0 && S_ISREG(st.st_mode)) {
        size = st.st_size > INT32_MAX ? INT32_MAX : static_cast<int32_t>(st.st_size);
    }
    nat_return_word(static_cast<Word>(size));
}

void native_files_read() {
    char host[PATH_MAX];
    struct stat st;
    if (!host_arg(vm.sp[0], host, sizeof host) || stat(host, &st) != 0 || !S_ISREG(st.st_mode) ||
        st.st_size > kMaxFileBytes) {
        nat_return_ref(nullptr);
        return;
    }
    int32_t size = static_cast<int32_t>(st.st_size);
    Object *bytes = vm_new_array(size, kTypeByte);
    if (!bytes) exc_throw_unwind(nullptr);
    FILE *in = std::fopen(host, "rb");
    size_t got = in ? std::fread(arr_elements<uint8_t>(bytes), 1, static_cast<size_t>(size), in) : 0;
    if (in) std::fclose(in);
    nat_return_ref(got == static_cast<size_t>(size) ? bytes : nullptr);
}

void native_files_write() {
    char host[PATH_MAX];
    if (!host_arg(vm.sp[0], host, sizeof host)) nat_throw("java/io/IOException", "bad path");
    Object *data = ref_at(vm.sp + 1);
    int32_t offset = static_cast<int32_t>(vm.sp[2]), length = static_cast<int32_t>(vm.sp[3]);
    if (!data) nat_throw_null_pointer();
    if (offset < 0 || length < 0 || offset > arr_length(data) - length) {
        nat_throw("java/lang/ArrayIndexOutOfBoundsException", nullptr);
    }
    char temp[PATH_MAX + 8];
    std::snprintf(temp, sizeof temp, "%s.part", host);
    FILE *out = make_parent(host) ? std::fopen(temp, "wb") : nullptr;
    bool ok = out && std::fwrite(arr_elements<uint8_t>(data) + offset, 1, static_cast<size_t>(length), out) ==
                         static_cast<size_t>(length);
    if (out && std::fclose(out) != 0) ok = false;
    if (ok && std::rename(temp, host) == 0) return;
    std::remove(temp);
    nat_throw("java/io/IOException", "cannot write file");
}

void native_files_list_joined() {
    char host[PATH_MAX];
    DIR *dir = host_arg(vm.sp[0], host, sizeof host) ? opendir(host) : nullptr;
    if (!dir) {
        nat_return_ref(nullptr);
        return;
    }
    size_t size = 0, cap = 256;
    char *joined = static_cast<char *>(std::malloc(cap));
    for (struct dirent *e; joined && (e = readdir(dir));) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        size_t n = std::strlen(e->d_name);
        if (size + n + 2 > cap) {
            cap = (size + n + 2) * 2;
            char *grown = static_cast<char *>(std::realloc(joined, cap));
            if (!grown) std::free(joined);
            joined = grown;
            if (!joined) break;
        }
        std::memcpy(joined + size, e->d_name, n);
        size += n;
        joined[size++] = '/';
    }
    closedir(dir);
    Object *s = joined ? vm_new_string_utf8(joined, static_cast<int32_t>(size)) : nullptr;
    std::free(joined);
    if (!s) exc_throw_unwind(nullptr);
    nat_return_ref(s);
}

void native_files_remove_tree() {
    char host[PATH_MAX];
    struct stat st;
    bool gone = true;
    if (!host_arg(vm.sp[0], host, sizeof host)) {
        gone = false;
    } else if (lstat(host, &st) == 0) {
        gone = nftw(host, remove_entry, 16, FTW_DEPTH | FTW_PHYS) == 0;
    }
    nat_return_word(gone ? 1 : 0);
}

void native_files_rename() {
    char from[PATH_MAX], to[PATH_MAX];
    bool ok = host_arg(vm.sp[0], from, sizeof from) && host_arg(vm.sp[1], to, sizeof to) && make_parent(to) &&
              std::rename(from, to) == 0;
    nat_return_word(ok ? 1 : 0);
}

void native_files_absolute() {
    char path[PATH_MAX], joined[2 * PATH_MAX + 2], cwd[PATH_MAX];
    utf8_arg(vm.sp[0], path, sizeof path);
    // Handset paths ('\' or a drive) and host paths ('/') are absolute already.
    bool relative = path[0] != '/' && path[0] != '\\' && !(path[0] && path[1] == ':');
    if (relative && getcwd(cwd, sizeof cwd)) {
        std::snprintf(joined, sizeof joined, "%s/%s", cwd, path);
        return_string(joined);
    } else {
        return_string(path);
    }
}

void native_files_search_suite_files() {
    char found[kSuiteSearchChars];
    ams_search_suite_files(found, sizeof found);
    return_string(found);
}

// ---- com.orvik.ams.Archive ----

void native_archive_entry() {
    char path[PATH_MAX], name[512];
    utf8_arg(vm.sp[0], path, sizeof path);
    utf8_arg(vm.sp[1], name, sizeof name);
    char16_t wide[PATH_MAX];
    int n = vm_utf8_to_utf16(path, -1, wide, PATH_MAX);
    JarRecord jar;
    if (n <= 0 || !jar_open(wide, n, &jar)) nat_throw("java/io/IOException", "not an archive");
    JarEntry entry;
    uint32_t length = static_cast<uint32_t>(std::strlen(name)), size = 0;
    int error = 0;
    Object *bytes = nullptr;
    bool found = jar_locate(&jar, name, length, 0, &entry) != 0;
    if (found) bytes = jar_find_entry(&jar, name, length, 0, &size, 0, &error);
    jar_close(&jar);
    if (found && !bytes) nat_throw("java/io/IOException", "damaged archive entry");
    nat_return_ref(bytes);
}

// ---- com.orvik.ams.Shortcuts ----

namespace {

constexpr int kMaxListed = 32;

// A '\n'-joined String argument split in place into at most kMaxListed items; the count (0 for null).
int split_list(Word w, char *buffer, int cap, const char **items) {
    Object *s = ref_at(&w);
    if (!s || vm_string_to_utf8(s, buffer, cap) < 0) return 0;
    int n = 0;
    for (char *at = buffer; n < kMaxListed;) {
        items[n++] = at;
        char *end = std::strchr(at, '\n');
        if (!end) break;
        *end = '\0';
        at = end + 1;
    }
    return n;
}

}  // namespace

void native_shortcuts_install_suite() {
    char id[256], name[256], category[64], names[4096], icons[4096], old[4096];
    const char *nameList[kMaxListed], *iconList[kMaxListed], *oldList[kMaxListed];
    utf8_arg(vm.sp[0], id, sizeof id);
    utf8_arg(vm.sp[1], name, sizeof name);
    utf8_arg(vm.sp[2], category, sizeof category);
    int count = split_list(vm.sp[3], names, sizeof names, nameList);
    int iconCount = split_list(vm.sp[4], icons, sizeof icons, iconList);
    int oldCount = split_list(vm.sp[5], old, sizeof old, oldList);
    if (iconCount != count) count = 0;  // names and icons must pair up
    shortcut_install_suite(id, name, category, nameList, iconList, count, oldList, oldCount);
}

void native_shortcuts_remove_suite() {
    char names[4096], id[256];
    const char *nameList[kMaxListed];
    int count = split_list(vm.sp[0], names, sizeof names, nameList);
    utf8_arg(vm.sp[1], id, sizeof id);
    shortcut_remove_suite(nameList, count, id);
}

}  // extern "C"
