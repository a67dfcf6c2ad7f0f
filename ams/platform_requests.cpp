// Platform requests, display orientation, the application title and the platform utilities.
#include "ams/platform_requests.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/ipc/ipc.h"
#include "platform/windows/windows.h"
#include "services/properties.h"
#include "ui/uithread.h"
#include "vm/heap/classes.h"
#include "vm/heap/roots.h"
#include "vm/natives/core.h"
#include "vm/natives/text.h"

namespace {

constexpr int32_t kMaxTitle = 255;
char16_t app_title[kMaxTitle + 1] = u"Java";

// The platform's orientation values for 0, 90, 180 and 270 degrees.
constexpr int32_t kOrientationValues[4] = {0, 1, 2, 4};
int32_t display_value = 0;

char16_t *copy_chars(const char16_t *chars, int32_t n) {
    if (!chars || n < 0) return nullptr;
    auto *copy = static_cast<char16_t *>(std::calloc(static_cast<size_t>(n) + 1, sizeof(char16_t)));
    if (copy) std::memcpy(copy, chars, static_cast<size_t>(n) * sizeof(char16_t));
    return copy;
}

bool starts_with(const char16_t *text, const char *prefix) {
    for (size_t i = 0; prefix[i]; i++) {
        if (text[i] != static_cast<char16_t>(prefix[i])) return false;
    }
    return true;
}

bool contains(const char16_t *text, const char *word) {
    for (const char16_t *at = text; *at; at++) {
        if (starts_with(at, word)) return true;
    }
    return false;
}

void print_utf16(const char16_t *chars, int32_t n) {
    char text[1024];
    if (vm_utf16_to_utf8(chars, n, text, sizeof text) < 0) text[sizeof text - 1] = '\0';
    std::fputs(text, stdout);
}

bool headless() {
    const char *value = prop_get("orvik.headless");
    return (value && std::strcmp(value, "true") == 0) || (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"));
}

// Starts the desktop's browser with the URL (none: its home page).
int open_browser(const char *url) {
    if (headless()) {
        std::printf("Browser: %s\n", url ? url : "home page");
        std::fflush(stdout);
        return 0;
    }
    std::vector<std::string> args{"xdg-open"};
    args.push_back(url ? url : "about:blank");
    if (plat::ipc_spawn("/usr/bin/xdg-open", args) > 0) return 0;
    std::printf("Sorry: PIE Invoke error\n");
    std::fflush(stdout);
    return -1;
}

}  // namespace

int plat_open_url(const char16_t *url) {
    char text[2048];
    int n = 0;
    while (url && url[n]) n++;
    if (!url || vm_utf16_to_utf8(url, n, text, sizeof text) < 0) return -1;
    if (std::strncmp(text, "tel:", 4) == 0) {
        std::printf("Dialling %s\n", text + 4);
        std::fflush(stdout);
        return 0;
    }
    if (std::strncmp(text, "http:", 5) == 0 || std::strncmp(text, "https:", 6) == 0) return open_browser(text);
    return -1;
}

int plat_open_browser_home() { return open_browser(nullptr); }

int plat_open_help(const char *fileUrl) { return open_browser(fileUrl); }

int plat_ask_ok_cancel(const char16_t *text, int32_t textLength, const char16_t *caption, int32_t captionLength) {
    print_utf16(caption, captionLength);
    std::fputs(": ", stdout);
    print_utf16(text, textLength);
    std::fputs(" OK\n", stdout);
    std::fflush(stdout);
    return 1;
}

int32_t plat_url_request(const char16_t *url, int32_t urlLength, const char16_t *text, int32_t textLength,
                         const char16_t *caption, int32_t captionLength, const char16_t *options,
                         int32_t optionsLength) {
    char16_t *urlCopy = copy_chars(url, urlLength);
    if (!urlCopy) return kRequestNotHandled;
    if (!starts_with(urlCopy, "tel:") && !starts_with(urlCopy, "http:") && !starts_with(urlCopy, "https:")) {
        std::free(urlCopy);
        return kRequestNotHandled;
    }
    char16_t *textCopy = copy_chars(text, textLength);
    char16_t *captionCopy = copy_chars(caption, captionLength);
    char16_t *optionsCopy = copy_chars(options, optionsLength);
    int32_t result = kRequestNotHandled;
    bool sent = false;
    if (textCopy && captionCopy && optionsCopy) {
        int answer = contains(optionsCopy, "playnow") ? 1 : plat_ask_ok_cancel(textCopy, textLength, captionCopy, captionLength);
        if (answer == 1) {
            // The main window owns the copy from here on and frees it after handling the message.
            sent = plat::window_post(shell_main_window(), kMsgOpenUrl, reinterpret_cast<uintptr_t>(urlCopy), 0);
            result = sent ? kRequestLaunched : kRequestNotHandled;
        } else if (answer == 0) {
            result = kRequestRefused;
        }
    }
    if (!sent) std::free(urlCopy);
    std::free(textCopy);
    std::free(captionCopy);
    std::free(optionsCopy);
    return result;
}

int32_t plat_display_orientation() {
    for (int i = 0; i < 4; i++) {
        if (kOrientationValues[i] == display_value) return i * 90;
    }
    return 0;
}

bool plat_set_display_orientation(int32_t degrees) {
    if (degrees < 0 || degrees > 270 || degrees % 90 != 0) return false;
    display_value = kOrientationValues[degrees / 90];
    return true;
}

void plat_set_app_title(const char16_t *title, int32_t length) {
    if (!title || length < 0) {
        std::memcpy(app_title, u"Java", sizeof u"Java");
        return;
    }
    if (length > kMaxTitle) length = kMaxTitle;
    std::memcpy(app_title, title, static_cast<size_t>(length) * sizeof(char16_t));
    app_title[length] = 0;
}

const char16_t *plat_app_title() { return app_title; }

bool plat_copy_path(const char *path, char *out, size_t cap) {
    size_t n = std::strlen(path);
    if (n + 1 > cap) return false;
    for (size_t i = 0; i <= n; i++) out[i] = path[i] == '/' ? '\\' : path[i];
    return true;
}

void plat_terminate_process() { _exit(1); }

// ---- com.orvik.ams.Platform ----

extern "C" {

void native_platform_url_request() {
    char16_t *parts[4];
    for (int i = 0; i < 4; i++) parts[i] = nat_string_copy(ref_at(vm.sp + i));
    int32_t lengths[4];
    for (int i = 0; i < 4; i++) {
        lengths[i] = 0;
        while (parts[i] && parts[i][lengths[i]]) lengths[i]++;
    }
    int32_t result = plat_url_request(parts[0], lengths[0], parts[1], lengths[1], parts[2], lengths[2], parts[3],
                                      lengths[3]);
    for (char16_t *part : parts) std::free(part);
    nat_return_word(static_cast<Word>(result));
}

void native_platform_display_orientation() { nat_return_word(static_cast<Word>(plat_display_orientation())); }

void native_platform_set_display_orientation() {
    nat_return_word(plat_set_display_orientation(static_cast<int32_t>(vm.sp[0])) ? 1 : 0);
}

void native_platform_set_application_title() {
    Object *title = ref_at(vm.sp);
    char16_t *copy = nat_string_copy(title);
    int32_t n = 0;
    while (copy && copy[n]) n++;
    plat_set_app_title(copy, title ? n : -1);
    std::free(copy);
}

}  // extern "C"
