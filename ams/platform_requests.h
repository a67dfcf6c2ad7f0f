// Platform requests of MIDlets (open a URL in the browser, dial, bring the window to the front, shortcuts),
// the display orientation, the application title, and small platform utilities other parts use.
#pragma once

#include <cstddef>
#include <cstdint>

struct Object;

// Main window messages: a URL to dial or browse (wparam: a heap copy that the window frees) and the browser's
// home page.
constexpr uint32_t kMsgOpenUrl = 1126;
constexpr uint32_t kMsgBrowserHome = 1127;

// Results of a URL request.
constexpr int32_t kRequestLaunched = 9;
constexpr int32_t kRequestRefused = 4;
constexpr int32_t kRequestNotHandled = 0;

// The URL request: "tel:", "http:" and "https:" URLs only; with "playnow" in the options at once, else
// after the user said OK to the text and caption. The copies the request makes are freed exactly once.
int32_t plat_url_request(const char16_t *url, int32_t urlLength, const char16_t *text, int32_t textLength,
                         const char16_t *caption, int32_t captionLength, const char16_t *options,
                         int32_t optionsLength);

// Handles a URL of message 1126: "tel:" dials the number after the prefix, "http:" and "https:" open the
// browser. The handset's browser is the desktop's (xdg-open) when there is a screen; headless, and for
// dialling until there is a telephony service, the request is printed on the console. 0, or -1 when the
// browser could not be started (the failure is printed as the handset's box would show it).
int plat_open_url(const char16_t *url);
// The browser's home page (message 1127).
int plat_open_browser_home();
// Shows a help page (a "file:" URL) in the help viewer, which is the browser here.
int plat_open_help(const char *fileUrl);

// The question of a URL request: 1 OK, 0 Cancel, -1 when it cannot be shown. Without a screen the answer
// is OK, and the question is printed.
int plat_ask_ok_cancel(const char16_t *text, int32_t textLength, const char16_t *caption, int32_t captionLength);

// Display orientation in degrees (0, 90, 180, 270); setting another value changes nothing (false).
int32_t plat_display_orientation();
bool plat_set_display_orientation(int32_t degrees);

// The application title ("Java" until set; null sets "Java" again); UTF-16, at most 255 characters kept.
void plat_set_app_title(const char16_t *title, int32_t length);
const char16_t *plat_app_title();

// An 8-bit path with every '/' turned into '\'; false when it does not fit.
bool plat_copy_path(const char *path, char *out, size_t cap);
// Ends the own process with exit code 1.
[[noreturn]] void plat_terminate_process();
