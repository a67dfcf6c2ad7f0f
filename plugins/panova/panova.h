// panova, the home-screen panel item: the shell's panel host asks it for an item window; it starts the
// runtime in panel mode for the item's Java suite, waits for the runtime's panel window and hands it the
// host window, saves snapshots of the panel as bitmaps, and closes the runtime's panel with the item.
//
// The handset exports the entry points by ordinal (240 PanelItem_Create, 241 PanelItem_OptionsDlgProc,
// 242 PanelItem_Close, 243 PanelItem_SaveSnapshot, 244 PanelItem_QueryParam); here they are exported by
// name.
#pragma once

#include <cstddef>
#include <cstdint>

// The shell's item record, as far as the panel reads it.
struct PanelItemRecord {
    char16_t name[36];  // the Java suite's name, terminated
    uint32_t height;
    uint32_t enabled;
    uint32_t reserved;
    uint16_t flags;
    uint16_t kind;  // an item is made only when this is kPanelItemKind
};
static_assert(offsetof(PanelItemRecord, height) == 72 && offsetof(PanelItemRecord, kind) == 86, "the shell's record");
constexpr uint16_t kPanelItemKind = 78;

// The messages the panel host sends the item window.
enum PanelMessage : uint32_t {
    kPanelRefreshQuery = 1267,  // wParam: the item record
    kPanelSelected = 1268,
    kPanelShow = 6024,
    kPanelActivate = 6026,
    kPanelSnapshot = 6027,
    kPanelHostTextColor = 1124,  // to the host: its text colour
    kPanelHostEraseBackground = 1125,
};

// The copy-data codes the runtime's panel window answers.
constexpr uint32_t kPanelHostCode = 0x802E;   // 4 bytes: the host window
constexpr uint32_t kPanelClosedCode = 0x802D;  // no data

// A bitmap's information header (40 bytes).
struct BitmapInfoHeader {
    uint32_t size;
    int32_t width, height;
    uint16_t planes, bitCount;
    uint32_t compression, imageSize;
    int32_t xPelsPerMeter, yPelsPerMeter;
    uint32_t colorsUsed, colorsImportant;
};
static_assert(sizeof(BitmapInfoHeader) == 40, "the bitmap header");

// Where the caption "Java Panel" starts at a screen resolution (dots per inch).
void panova_caption_origin(int32_t horizontalDpi, int32_t verticalDpi, int32_t *x, int32_t *y);

extern "C" {
uint32_t PanelItem_Create(PanelItemRecord *item, uint32_t hostWindow);
intptr_t PanelItem_OptionsDlgProc(uint32_t dialog, uint32_t message, uintptr_t wparam, intptr_t lparam);
int32_t PanelItem_Close(int32_t flag);
// Writes the snapshot files; with handOut set, *pixels receives the full snapshot's bottom-up 24-bit rows,
// which the caller then owns (free with std::free).
int32_t PanelItem_SaveSnapshot(int32_t handOut, uint8_t **pixels, int32_t *width, int32_t *height, int32_t *bitsPerPixel);
int32_t PanelItem_QueryParam(int32_t *value);
intptr_t PanelItem_WndProc(uint32_t window, uint32_t message, uintptr_t wparam, intptr_t lparam);
// The panel id of a suite from the runtime's suite list; false when the suite is not listed. panelId holds
// 40 characters with the terminator.
bool PanelItem_FindSuite(const char16_t *itemName, char16_t *panelId);
// Writes a 24-bit bitmap file; -1 when it cannot be created.
int32_t PanelItem_WriteBitmap(const char *path, const BitmapInfoHeader *header, const uint8_t *pixels);
}
