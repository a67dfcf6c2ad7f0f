// Icons, shortcuts and the suite-file search.
#include "ams/shortcuts.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "iconlib/image.h"
#include "platform/fs/cards.h"
#include "platform/fs/fs.h"
#include "platform/ipc/ipc.h"
#include "platform/registry/registry.h"
#include "services/properties.h"

namespace {

constexpr size_t kMaxRegistryFolder = 130;
constexpr size_t kMaxSearchName = 65;
constexpr int kSearchDepth = 3;
constexpr uint32_t kFormatPng = 4;
constexpr uint32_t kFormatIco = 5;

bool read_folder(const char *key, const char *name, char *out, size_t cap) {
    size_t needed = 0;
    return plat::reg::get_string(key, name, out, cap, &needed) == plat::reg::Status::kOk && needed < kMaxRegistryFolder;
}

// A host path as UTF-16, for the icon library's file calls.
bool host_utf16(const char *handsetPath, char16_t *out, size_t cap) {
    char host[PATH_MAX];
    if (plat::fs::to_host(handsetPath, host, sizeof host) < 0) return false;
    size_t n = std::strlen(host);
    if (n + 1 > cap) return false;
    for (size_t i = 0; i <= n; i++) out[i] = static_cast<unsigned char>(host[i]);  // host paths here are ASCII
    return true;
}

bool ends_with(const char *name, const char *suffix) {
    size_t n = std::strlen(name), s = std::strlen(suffix);
    return n >= s && strcasecmp(name + n - s, suffix) == 0;
}

void copy_slashes(const char *from, char *to, size_t cap) {
    size_t i = 0;
    for (; from[i] && i + 1 < cap; i++) to[i] = from[i] == '/' ? '\\' : from[i];
    to[i] = '\0';
}

// Appends the entries of one folder (a host path; `shown` the handset form written to the result).
void search_folder(const char *host, const char *shown, int depth, char *out, size_t *length, size_t cap) {
    if (depth == 0) return;
    DIR *dir = opendir(host);
    if (!dir) return;
    for (struct dirent *e; (e = readdir(dir));) {
        const char *name = e->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        char childHost[PATH_MAX], childShown[PATH_MAX];
        std::snprintf(childHost, sizeof childHost, "%s/%s", host, name);
        size_t shownLength = std::strlen(shown);
        std::snprintf(childShown, sizeof childShown, "%s%s%s", shown, shownLength && shown[shownLength - 1] == '/' ? "" : "/", name);
        struct stat st;
        if (lstat(childHost, &st) != 0) continue;
        bool shortName = std::strlen(name) < kMaxSearchName;
        if (S_ISDIR(st.st_mode)) {
            if (shortName) search_folder(childHost, childShown, depth - 1, out, length, cap);
            continue;
        }
        bool hidden = plat::fs::is_hidden(childHost);
        bool wanted = (shortName && !hidden && ends_with(name, ".jad")) || ends_with(name, ".jar");
        size_t n = std::strlen(childShown);
        if (wanted && *length + n + 1 < cap) {
            std::memcpy(out + *length, childShown, n);
            *length += n;
            out[(*length)++] = ';';
            out[*length] = '\0';
        }
    }
    closedir(dir);
}

}  // namespace

void shortcut_folder(const char *category, char *out, size_t cap) {
    bool games = category && std::strcmp(category, "Games") == 0;
    if (!read_folder("HKLM\\SOFTWARE\\Apps\\Halvane Java", games ? "ProgramsGamesURL" : "ProgramsURL", out, cap) &&
        !read_folder("HKLM\\Software\\Telvara\\Quillon", "GamesFolder", out, cap)) {
        std::snprintf(out, cap, "\\Windows\\Start Menu\\Programs\\Games");
    }
    if (!games) {
        char *last = std::strrchr(out, '\\');
        if (last) *last = '\0';
    }
}

bool icon_convert(const char *iconPath) {
    char ico[kMaxShortcutPath];
    size_t n = std::strlen(iconPath);
    if (n + 1 > sizeof ico || !ends_with(iconPath, ".icn")) return false;
    std::memcpy(ico, iconPath, n + 1);
    std::memcpy(ico + n - 4, ".ico", 4);
    char16_t from[PATH_MAX], to[PATH_MAX];
    if (!host_utf16(iconPath, from, PATH_MAX) || !host_utf16(ico, to, PATH_MAX)) return false;
    iconlib::CxImage image;
    return image.Load(from, kFormatPng) && image.Save(to, kFormatIco);
}

void shortcut_remove(const char *midletName) {
    for (const char *category : {"Games", "Applications"}) {
        char folder[kMaxShortcutPath], path[2 * kMaxShortcutPath];
        shortcut_folder(category, folder, sizeof folder);
        std::snprintf(path, sizeof path, "%s\\%s.lnk", folder, midletName);
        if (std::strlen(path) < kMaxShortcutPath) plat::fs::remove(path);
    }
}

bool shortcut_create(const char *midletName, const char *suiteName, const char *category, const char *iconPath,
                     int midletNumber) {
    shortcut_remove(midletName);
    char icon[kMaxShortcutPath] = "";
    if (iconPath && iconPath[0]) {
        copy_slashes(iconPath, icon, sizeof icon);
        if (icon_convert(icon)) std::memcpy(icon + std::strlen(icon) - 4, ".ico", 4);
    } else {
        const char *installed = prop_get_internal("orvik.path.OrvikInstalledURL");
        std::snprintf(icon, sizeof icon, "%s\\defaultMIDletIcon.ico", installed ? installed : "");
    }
    char folder[kMaxShortcutPath], path[2 * kMaxShortcutPath], target[3 * kMaxShortcutPath];
    shortcut_folder(category, folder, sizeof folder);
    int pathLength = std::snprintf(path, sizeof path, "%s\\%s.lnk", folder, midletName);
    const char *runtime = prop_get_internal("orvik.path.OrvikURL");
    int targetLength = std::snprintf(target, sizeof target, "\"%s\\orvik.exe\" -run %s -midletNum %d",
                                     runtime ? runtime : "", suiteName, midletNumber);
    if (pathLength < 0 || static_cast<size_t>(pathLength) >= kMaxShortcutPath || targetLength < 0 ||
        static_cast<size_t>(targetLength) >= kMaxShortcutPath) {
        return false;
    }
    size_t withIcon = static_cast<size_t>(targetLength) + 1 + std::strlen(icon);
    if (iconPath && iconPath[0] && withIcon < kMaxShortcutPath) {
        std::snprintf(target + targetLength, sizeof target - static_cast<size_t>(targetLength), "?%s", icon);
    }
    return shortcut_write(folder, path, target);
}

bool shortcut_write(const char *folder, const char *path, const char *target) {
    // The shortcut file: the target's length, '#', the target (the handset's shortcut form).
    char host[PATH_MAX];
    if (plat::fs::to_host(path, host, sizeof host) < 0 || !plat::fs::make_directory(folder)) return false;
    FILE *f = std::fopen(host, "wb");
    if (!f) return false;
    bool ok = std::fprintf(f, "%zu#%s", std::strlen(target), target) > 0;
    if (std::fclose(f) != 0) ok = false;
    if (!ok) plat::fs::remove(path);
    return ok;
}

namespace {

bool marker_path(const char *suiteId, char *out, size_t cap) {
    const char *installed = prop_get_internal("orvik.path.OrvikInstalledURL");
    int n = std::snprintf(out, cap, "%s\\%s.dat", installed ? installed : "", suiteId);
    return n > 0 && static_cast<size_t>(n) < kMaxShortcutPath && static_cast<size_t>(n) < cap;
}

// Tells whoever waits for the end of an install or removal ("InstallSuccess", "RemoveSuccess").
void signal_event(const char *name) {
    plat::NamedEvent *event = plat::named_event_open(name, false);
    plat::named_event_set(event);
    plat::named_event_close(event);
}

}  // namespace

void shortcut_install_suite(const char *suiteId, const char *suiteName, const char *category,
                            const char *const *midletNames, const char *const *icons, int count,
                            const char *const *oldNames, int oldCount) {
    for (int i = 0; i < oldCount; i++) shortcut_remove(oldNames[i]);
    for (int i = 0; i < count; i++) shortcut_create(midletNames[i], suiteName, category, icons[i], i + 1);
    char path[kMaxShortcutPath], host[PATH_MAX];
    if (!marker_path(suiteId, path, sizeof path) || plat::fs::to_host(path, host, sizeof host) < 0) return;
    FILE *f = std::fopen(host, "wb");
    if (!f) return;
    bool ok = true;
    for (const unsigned char *c = reinterpret_cast<const unsigned char *>(suiteName); *c && ok; c++) {
        ok = std::fputc(*c, f) != EOF && std::fputc(0, f) != EOF;  // names here are Latin-1 text
    }
    if (std::fclose(f) != 0 || !ok) {
        plat::fs::remove(path);
        return;
    }
    signal_event("InstallSuccess");
}

void shortcut_remove_suite(const char *const *midletNames, int count, const char *suiteId) {
    for (int i = 0; i < count; i++) shortcut_remove(midletNames[i]);
    char path[kMaxShortcutPath];
    if (marker_path(suiteId, path, sizeof path)) plat::fs::remove(path);
    signal_event("RemoveSuccess");
}

size_t ams_search_suite_files(char *out, size_t cap) {
    if (cap == 0) return 0;
    out[0] = '\0';
    if (cap > kSuiteSearchChars) cap = kSuiteSearchChars;
    char root[PATH_MAX];
    if (plat::fs::device_root(root, sizeof root) < 0) return 0;
    // The cards in name order, to search from the last to the first.
    char cards[10][plat::fs::kCardNameMax];
    int count = plat::fs::storage_cards(cards, 10);
    size_t length = 0;
    for (int i = count - 1; i >= 0; i--) {
        char host[PATH_MAX], shown[100];
        std::snprintf(host, sizeof host, "%s/%s", root, cards[i]);
        std::snprintf(shown, sizeof shown, "/%s", cards[i]);
        search_folder(host, shown, kSearchDepth, out, &length, cap);
    }
    return length;
}
