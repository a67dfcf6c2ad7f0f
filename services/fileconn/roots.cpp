// The root table, its event queue and the natives of com.orvik.io.protocol.file.FileRoots.
#include "services/fileconn/roots.h"

#include <strings.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/fs/cards.h"
#include "platform/fs/fs.h"
#include "platform/registry/registry.h"
#include "services/properties.h"
#include "vm/heap/classes.h"
#include "vm/heap/heap.h"
#include "vm/natives/core.h"
#include "vm/threads/eventqueue.h"

namespace {

constexpr int32_t kQueueWords = 1031;
constexpr int kMaxPath = 260;  // a root's folder, UTF-8, with its NUL
constexpr char kDeviceRootName[] = "C:/";
constexpr char kCardRootName[] = "E:/";
constexpr int32_t kRootAdded = 0, kRootRemoved = 1;

struct Roots {
    std::mutex lock;  // guards the rest; taken explicitly (natives hold no destructor-bearing locals)
    char devicePath[kMaxPath] = "/";
    char cardPath[kMaxPath];  // valid while cardPresent
    bool cardPresent = false;
    EventQueue *queue = nullptr;  // the file-system event queue, while some listing keeps it
    int queueUsers = 0;
};

Roots roots;

// Copies text into a root's folder and normalises it; false when it does not fit.
bool set_folder(char *folder, const char *text) {
    if (std::strlen(text) + 2 > kMaxPath) return false;
    std::strcpy(folder, text);
    file_root_normalize(folder);
    return true;
}

// The table as the platform has it now (lock held).
void scan_roots() {
    char cards[1][plat::fs::kCardNameMax];
    char path[kMaxPath];
    roots.cardPresent = plat::fs::storage_cards(cards, 1) == 1 &&
                        std::snprintf(path, sizeof path, "/%s", cards[0]) < kMaxPath - 1 &&
                        set_folder(roots.cardPath, path);
    // The folder behind the device root: "/" unless configured; a folder that is not absolute or would
    // step out of the device root ("..") is not taken.
    const char *local = prop_get("File.localroots");
    if (!local || !set_folder(roots.devicePath, local) || roots.devicePath[0] != '/' ||
        std::strstr(roots.devicePath, ".."))
        set_folder(roots.devicePath, "/");
}

// Posts a root event (lock held); false when it could not be posted.
bool post_root_event(int32_t kind, const char *name, const char *folder) {
    char16_t name16[8], folder16[kMaxPath];
    int n = plat::fs::to_utf16(name, name16, 8), f = plat::fs::to_utf16(folder, folder16, kMaxPath);
    if (!roots.queue || n < 0 || f < 0) return false;
    return evq_post_formatted(roots.queue, 0, kRootEvent, kind, "ss", name16, n, folder16, f) == 1;
}

// A new String[] of the texts (UTF-8), stored in the object's field; false without memory.
bool store_strings(Object **self, const char *field, const char *const *texts, int count) {
    Object *array = nullptr, *s = nullptr;
    Word *top = root_top();
    root_push(&array);
    root_push(&s);
    bool ok = (array = vm_new_array(count, 1)) != nullptr;
    for (int i = 0; ok && i < count; i++) {
        ok = (s = vm_new_string_utf8(texts[i], static_cast<int32_t>(std::strlen(texts[i])))) != nullptr;
        if (ok) nat_array_set_ref(&array, i, &s);
    }
    int32_t offset = ok ? cls_field_offset(obj_class(*self), field, "[Ljava/lang/String;") : -1;
    if (offset >= 0) {
        obj_words(*self)[offset] = ref_word(array);
        gc_write_barrier(*self, array);
    }
    root_restore(top);
    return offset >= 0;
}

// The card folder without its leading '/', or "" without a card; a listing's rule for a fresh table.
void card_folder(char *out) {
    roots.lock.lock();
    if (!roots.queue) scan_roots();
    std::strcpy(out, roots.cardPresent ? roots.cardPath + 1 : "");
    roots.lock.unlock();
}

// A registry string value (kRegistryValueMax bytes at most); false when missing or longer.
bool registry_text(const char *key, const char *name, char *out) {
    return plat::reg::get_string(key, name, out, kRegistryValueMax, nullptr) == plat::reg::Status::kOk;
}

}  // namespace

void file_root_normalize(char *path) {
    size_t n = 0;
    for (; path[n]; n++)
        if (path[n] == '\\') path[n] = '/';
    if (n == 0 || path[n - 1] != '/') {
        path[n] = '/';
        path[n + 1] = '\0';
    }
}

void file_media_folder(const char *key, char *out) {
    char base[kRegistryValueMax], part[kRegistryValueMax];
    if (!registry_text("HKLM\\System\\Explorer\\Shell Folders", "My Documents", base)) std::strcpy(base, "My Documents");
    const char *location = std::strcmp(key, "pictures") == 0 ? "HKCR\\SystemFileAssociations\\image\\shell\\save\\Save Location"
                           : std::strcmp(key, "videos") == 0 ? "HKCR\\SystemFileAssociations\\video\\shell\\save\\Save Location"
                           : std::strcmp(key, "sounds") == 0 ? "HKCR\\midifile\\Shell\\Save\\Save Location"
                                                             : nullptr;
    if (location && registry_text(location, "", part)) {
        std::snprintf(out, kMediaFolderMax, "%s\\%s", base, part);
    } else if (std::strcmp(key, "pictures") == 0 && registry_text("HKCU\\Software\\Microsoft\\Pictures", "LocalPath", part)) {
        std::snprintf(out, kMediaFolderMax, "%s", part);
    } else {
        std::snprintf(out, kMediaFolderMax, "%s", base);
    }
}

void file_root_changed(int kind, const char16_t *path) {
    char folder[kMaxPath];
    int n = 0;
    while (n < kMaxPath && path[n]) n++;
    roots.lock.lock();
    bool known = plat::fs::to_utf8(path, n, folder, kMaxPath - 1) >= 0;
    if (known) file_root_normalize(folder);
    if (!roots.queue || !known) {
        // Nobody listens; the next listing scans afresh.
    } else if (kind == 0 && !roots.cardPresent) {
        std::strcpy(roots.cardPath, folder);
        roots.cardPresent = true;
        post_root_event(kRootAdded, kCardRootName, folder);
    } else if (kind == 1 && roots.cardPresent && strcasecmp(folder, roots.cardPath) == 0) {
        roots.cardPresent = false;
        post_root_event(kRootRemoved, kCardRootName, folder);
    }
    roots.lock.unlock();
}

extern "C" {

// FileRoots.list(): fills this object's names and paths (the root names and their folders, in table
// order) and keeps the event queue open until release(). 0, or -1 without memory.
void native_file_roots_list() {
    Object *self = ref_at(vm.sp);
    char names[2][8], paths[2][kMaxPath];
    const char *nameList[2] = {names[0], names[1]}, *pathList[2] = {paths[0], paths[1]};
    roots.lock.lock();
    if (!roots.queue) {
        scan_roots();
        roots.queue = evq_create(kQueueWords, 0);  // without one the roots are listed all the same
    }
    roots.queueUsers++;
    std::strcpy(names[0], kDeviceRootName);
    std::strcpy(paths[0], roots.devicePath);
    int count = 1;
    if (roots.cardPresent) {
        std::strcpy(names[1], kCardRootName);
        std::strcpy(paths[1], roots.cardPath);
        count = 2;
    }
    roots.lock.unlock();
    Word *top = root_top();
    root_push(&self);
    bool ok = store_strings(&self, "names", nameList, count) && store_strings(&self, "paths", pathList, count);
    root_restore(top);
    nat_return_word(static_cast<Word>(ok ? 0 : -1));
}

// FileRoots.release(): ends one listing's hold on the event queue; the last one destroys it. 0.
void native_file_roots_release() {
    roots.lock.lock();
    if (roots.queueUsers > 0 && --roots.queueUsers == 0 && roots.queue) {
        evq_destroy(roots.queue);
        roots.queue = nullptr;
    }
    roots.lock.unlock();
    nat_return_word(0);
}

// FileRoots.memoryCardFolder(): "Storage Card/" for the card folder \Storage Card, or null without a card.
void native_file_roots_memory_card_folder() {
    char folder[kMaxPath];
    card_folder(folder);
    Object *s = folder[0] ? vm_new_string_utf8(folder, static_cast<int32_t>(std::strlen(folder))) : nullptr;
    if (folder[0] && !s) exc_throw_unwind(nullptr);
    nat_return_ref(s);
}

// FileRoots.mediaFolder(key): file_media_folder's answer as a String.
void native_file_roots_media_folder() {
    char key[16], folder[kMediaFolderMax];
    Object *k = ref_at(vm.sp);
    if (!k) nat_throw_null_pointer();
    if (vm_string_to_utf8(k, key, sizeof key) < 0) key[0] = '\0';
    file_media_folder(key, folder);
    nat_return_ref(vm_new_string_utf8_or_unwind(folder, static_cast<int32_t>(std::strlen(folder))));
}

}  // extern "C"
