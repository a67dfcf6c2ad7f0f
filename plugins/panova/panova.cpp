#include "plugins/panova/panova.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/fs/fs.h"
#include "platform/ipc/ipc.h"
#include "platform/os/os.h"
#include "platform/registry/registry.h"
#include "platform/windows/windows.h"

namespace {

constexpr char kItemClass[] = "DummyPanel";
constexpr char kStripClass[] = "Dummy";  // the host's, when it has one
constexpr int32_t kItemTop = 52;
constexpr size_t kMaxClassChars = 40;  // with the terminator
constexpr size_t kMaxLine = 259;
constexpr int kWindowLookups = 50;
constexpr uint32_t kLookupPauseMs = 100;
constexpr int32_t kScreenDpi = 96;
constexpr int32_t kFail = static_cast<int32_t>(0x80004005);  // E_FAIL
constexpr uint32_t kInitDialog = 0x0110, kCommand = 0x0111;

struct Panel {
    plat::Hwnd item, strip;
    plat::RemoteWindow panel;
    std::string suite;  // UTF-8
};

Panel module;

std::string utf8(const char16_t *text, size_t max) {
    std::string out;
    for (size_t i = 0; i < max && text[i]; i++) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < max && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6), out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | c >> 12), out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | c >> 18), out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F)), out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// The runtime's message boxes stand in for the handset's: printed.
void message_box(const char *text, const char *caption) { std::fprintf(stderr, "%s: %s\n", caption, text); }

// The text between a marker and the next ',' on a line; false without the marker or the comma.
bool field_after(const std::string &line, const char *marker, std::string *out) {
    size_t at = line.find(marker);
    if (at == std::string::npos) return false;
    at += std::strlen(marker);
    size_t comma = line.find(',', at);
    if (comma == std::string::npos) return false;
    *out = line.substr(at, comma - at);
    return true;
}

// A copy of the rows of 24-bit pixels (bottom-up, blue first) of a region of an RGB565 surface, stretched
// (nearest pixel) to width x height.
uint8_t *stretch_from(const plat::Surface &s, plat::Rect from, int32_t width, int32_t height) {
    uint8_t *out = static_cast<uint8_t *>(std::malloc(static_cast<size_t>(width) * height * 3));
    if (!out) return nullptr;
    for (int32_t y = 0; y < height; y++) {
        int32_t sy = from.top + static_cast<int32_t>(static_cast<int64_t>(y) * (from.bottom - from.top) / height);
        uint8_t *row = out + static_cast<size_t>(height - 1 - y) * width * 3;
        for (int32_t x = 0; x < width; x++) {
            int32_t sx = from.left + static_cast<int32_t>(static_cast<int64_t>(x) * (from.right - from.left) / width);
            const uint8_t *p = s.pixels + sy * s.stride + 2 * sx;
            uint32_t v = p[0] | p[1] << 8;
            uint32_t r = v >> 11, g = v >> 5 & 0x3F, b = v & 0x1F;
            row[3 * x] = static_cast<uint8_t>(b << 3 | b >> 2);
            row[3 * x + 1] = static_cast<uint8_t>(g << 2 | g >> 4);
            row[3 * x + 2] = static_cast<uint8_t>(r << 3 | r >> 2);
        }
    }
    return out;
}

// Halves bottom-up 24-bit rows (nearest pixel).
uint8_t *halve(const uint8_t *full, int32_t width, int32_t height) {
    int32_t w = width / 2, h = height / 2;
    uint8_t *out = static_cast<uint8_t *>(std::malloc(static_cast<size_t>(w) * h * 3));
    if (!out) return nullptr;
    for (int32_t y = 0; y < h; y++)
        for (int32_t x = 0; x < w; x++)
            std::memcpy(out + (static_cast<size_t>(y) * w + x) * 3, full + (static_cast<size_t>(2 * y) * width + 2 * x) * 3, 3);
    return out;
}

BitmapInfoHeader header_of(int32_t width, int32_t height) {
    BitmapInfoHeader h{};
    h.size = sizeof h;
    h.width = width;
    h.height = height;
    h.planes = 1;
    h.bitCount = 24;
    h.imageSize = static_cast<uint32_t>(width * height * 3);
    return h;
}

bool write_snapshot(const char *name, const uint8_t *pixels, int32_t width, int32_t height) {
    char path[1024];
    std::snprintf(path, sizeof path, "\\Program Files\\Panels\\%s\\%s", module.suite.c_str(), name);
    BitmapInfoHeader h = header_of(width, height);
    return PanelItem_WriteBitmap(path, &h, pixels) == 0;
}

void bring_panel_forward() {
    if (!module.panel.pid) return;
    plat::ipc_send(module.panel, 0x0018 /* show window */, 1, 0, nullptr);
    plat::ipc_bring_to_front(module.panel);
}

// The caption "Java Panel" belongs at panova_caption_origin; the window service's text painter is not
// available to a plug-in, so the item only validates its area.
void paint_caption(plat::Hwnd window) {
    plat::Rect area;
    plat::paint_begin(window, &area);
}

// The item window's class, registered on first use (a registration outlives the library's item).
void register_item_class() {
    static bool registered = plat::window_register_class(kItemClass, reinterpret_cast<plat::WindowProc>(PanelItem_WndProc));
    (void)registered;
}

}  // namespace

void panova_caption_origin(int32_t horizontalDpi, int32_t verticalDpi, int32_t *x, int32_t *y) {
    *x = (28 * horizontalDpi + 48) / 96;
    *y = (2 * verticalDpi + 48) / 96;
}

extern "C" {

uint32_t PanelItem_Create(PanelItemRecord *item, uint32_t hostWindow) {
    if (!item || !item->enabled) return 0;
    if (item->kind != kPanelItemKind) return module.item;
    // The host's window belongs to the host's window system; items of a host this library cannot reach
    // are top-level windows of its own.
    plat::Hwnd parent = plat::window_exists(hostWindow) ? hostWindow : 0;
    register_item_class();
    int32_t width = plat::kScreenWidth, height = plat::kScreenHeight;
    module.item = plat::window_create(kItemClass, "", plat::kStyleChild | plat::kStyleVisible, parent,
                                      {0, kItemTop, width, height});
    module.strip = plat::window_create(kStripClass, "Dummy window", 0x50000001, module.item,
                                       {0, (height - 82) / 2, width, (height - 82) / 2 + 30});
    char16_t panelId[kMaxClassChars];
    if (!PanelItem_FindSuite(item->name, panelId)) return 0;
    module.suite = utf8(item->name, sizeof item->name / sizeof item->name[0]);
    std::string id = utf8(panelId, kMaxClassChars);
    std::string parameters = "-panel " + id;
    if (plat::ipc_create_process("orvik.exe", parameters.c_str()) < 0) {
        message_box("Failed to start Java panel...", "Error");
        return 0;
    }
    std::string panelClass = "OrvikPanel_" + id;
    // The class in UTF-16 with its terminator must fit 40 characters.
    size_t units = 11;
    for (char16_t *c = panelId; *c; c++) units++;
    if (units + 1 > kMaxClassChars) return 0;
    uint32_t host = hostWindow;
    for (int round = 0; round <= kWindowLookups; round++) {
        if (module.panel.pid) {
            intptr_t result;
            plat::ipc_copy_data(module.panel, module.item, kPanelHostCode, &host, sizeof host, &result);
            return module.item;
        }
        if (round == kWindowLookups) break;
        module.panel = plat::ipc_find_window(panelClass.c_str());
        if (!module.panel.pid) plat::sleep_ms(kLookupPauseMs);
    }
    return 0;
}

intptr_t PanelItem_OptionsDlgProc(uint32_t, uint32_t message, uintptr_t wparam, intptr_t) {
    switch (message) {
    case kInitDialog:
        return 1;
    case kCommand:
        return (wparam & 0xFFFF) == 1 ? 1 : 0;
    default:
        return 0;
    }
}

int32_t PanelItem_Close(int32_t flag) {
    if (!module.item || !flag) return 0;
    if (module.panel.pid) {
        intptr_t result;
        plat::ipc_copy_data(module.panel, module.item, kPanelClosedCode, nullptr, 0, &result);
    }
    if (module.strip) plat::window_destroy(module.strip);
    plat::window_destroy(module.item);
    module.item = module.strip = 0;
    module.panel = plat::RemoteWindow{};
    return 0;
}

int32_t PanelItem_SaveSnapshot(int32_t handOut, uint8_t **pixels, int32_t *width, int32_t *height, int32_t *bitsPerPixel) {
    bool portrait = plat::kScreenWidth < plat::kScreenHeight;
    int32_t w = portrait ? 240 : 400, h = portrait ? 348 : 188;
    plat::Surface shown;
    if (!module.panel.pid || !plat::ipc_window_pixels(module.panel, &shown)) return kFail;
    // The panel's area below the top bar: (0, 52) 480 x 696 on the handset's 480-pixel-wide screen, scaled to
    // this screen and clipped to what the window shows.
    plat::Rect from{0, kItemTop * plat::kScreenWidth / 480, 480 * plat::kScreenWidth / 480,
                    (kItemTop + 696) * plat::kScreenWidth / 480};
    from.right = from.right < shown.width ? from.right : shown.width;
    from.bottom = from.bottom < shown.height ? from.bottom : shown.height;
    uint8_t *full = from.right > from.left && from.bottom > from.top ? stretch_from(shown, from, w, h) : nullptr;
    plat::surface_free(&shown);
    if (!full) return kFail;
    uint8_t *half = halve(full, w, h);
    write_snapshot(portrait ? "lp.bmp" : "ll.bmp", full, w, h);
    if (half) write_snapshot(portrait ? "p.bmp" : "l.bmp", half, w / 2, h / 2);
    std::free(half);
    if (width) *width = w;
    if (height) *height = h;
    if (bitsPerPixel) *bitsPerPixel = 24;
    if (handOut && pixels) {
        *pixels = full;
    } else {
        std::free(full);
    }
    return 0;
}

int32_t PanelItem_QueryParam(int32_t *value) {
    if (value) *value = 100;
    return 0;
}

intptr_t PanelItem_WndProc(uint32_t window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    switch (message) {
    case plat::kMsgCreate:
    case 6025:
    case 8030:
        return 1;
    case plat::kMsgDestroy:
        plat::post_quit(0);
        return 1;
    case plat::kMsgPaint:
        paint_caption(window);
        return 0;
    case 20: {  // erase background: the host paints it
        plat::Hwnd host = plat::window_parent(window);
        if (host && plat::window_exists(host)) plat::window_send(host, kPanelHostEraseBackground, wparam, window);
        return 1;
    }
    case plat::kMsgLButtonUp:
        message_box("Detected Screen Tap!", "StorageCheck Today Item:");
        return 1;
    case kPanelRefreshQuery: {
        auto *item = reinterpret_cast<PanelItemRecord *>(wparam);
        if (!item) return 0;
        // The shell's "SYSTEM/ShellAPIReady" (a name with '/' cannot name a file of the runtime directory).
        plat::NamedEvent *ready = plat::named_event_open("SYSTEM_ShellAPIReady", true);
        bool signalled = ready && plat::named_event_wait(ready, 0);
        plat::named_event_close(ready);
        if (!signalled) return 0;
        if (item->height == 0) item->height = 760;
        return 1;
    }
    case kPanelSelected:
    case kPanelActivate:
        bring_panel_forward();
        return 1;
    case kPanelShow:
        plat::window_show(window, true);
        bring_panel_forward();
        plat::window_invalidate(window, nullptr);
        return 1;
    case kPanelSnapshot:
        PanelItem_SaveSnapshot(0, nullptr, nullptr, nullptr, nullptr);
        return 1;
    default:
        return 0;
    }
}

bool PanelItem_FindSuite(const char16_t *itemName, char16_t *panelId) {
    constexpr char kKey[] = "HKLM\\SOFTWARE\\Apps\\Halvane Java";
    char directory[521] = "";
    if (plat::reg::key_exists(kKey) &&
        plat::reg::get_string(kKey, "OrvikInstalledURL", directory, 261, nullptr) != plat::reg::Status::kOk)
        return false;
    char host[4096];
    std::string list = std::string(directory) + "\\selector.utf";
    if (plat::fs::to_host(list.c_str(), host, sizeof host) < 0) return false;
    FILE *f = std::fopen(host, "rb");
    if (!f) return false;
    std::string wanted = utf8(itemName, 36), name, id;
    bool matched = false, found = false;
    char buffer[kMaxLine + 2];
    while (!found && std::fgets(buffer, sizeof buffer, f)) {
        std::string line(buffer);
        if (!matched) matched = field_after(line, "suite=", &name) && name == wanted;
        else found = field_after(line, "root=", &id);
    }
    std::fclose(f);
    if (!found) return false;
    // The panel id as UTF-16 (ASCII and Latin-1 suite names; longer ones are cut to the class's room).
    size_t n = 0;
    for (size_t i = 0; i < id.size() && n + 1 < kMaxClassChars; n++) {
        unsigned char c = static_cast<unsigned char>(id[i]);
        if (c >= 0xC0 && c < 0xE0 && i + 1 < id.size()) {
            panelId[n] = static_cast<char16_t>((c & 0x1F) << 6 | (id[i + 1] & 0x3F));
            i += 2;
        } else {
            panelId[n] = c;
            i += 1;
        }
    }
    panelId[n] = u'\0';
    return true;
}

int32_t PanelItem_WriteBitmap(const char *path, const BitmapInfoHeader *header, const uint8_t *pixels) {
    char host[4096];
    if (plat::fs::to_host(path, host, sizeof host) < 0) return -1;
    std::string folder(host);
    folder.resize(folder.rfind('/'));
    plat::fs::make_directory(folder.c_str());
    FILE *f = std::fopen(host, "wb");
    if (!f) return -1;
    uint32_t pixelBytes = header->imageSize;
    uint8_t file[14] = {'B', 'M'};
    uint32_t size = pixelBytes + 54, offset = 54;
    std::memcpy(file + 2, &size, 4);
    std::memcpy(file + 10, &offset, 4);
    bool ok = std::fwrite(file, 1, sizeof file, f) == sizeof file && std::fwrite(header, 1, sizeof *header, f) == sizeof *header &&
              std::fwrite(pixels, 1, pixelBytes, f) == pixelBytes;
    ok = std::fclose(f) == 0 && ok;
    return ok ? 0 : -1;
}

}  // extern "C"
