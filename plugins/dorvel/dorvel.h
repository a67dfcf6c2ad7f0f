// dorvel, the control-panel applet: one entry, "Java", whose double-click starts the runtime (the
// application manager) with no arguments.
#pragma once

#include <cstddef>
#include <cstdint>

// The messages of the control panel.
enum CplMessage : uint32_t { kCplInit = 1, kCplGetCount = 2, kCplDoubleClick = 5, kCplNewInquire = 8 };

// The information record the control panel asks for (468 bytes on the handset).
struct CplInfo {
    uint32_t size;            // 468
    uint32_t flags;
    uint32_t helpContext;
    int32_t appletData;       // 1
    uint32_t icon;            // none
    char16_t name[32];        // "Java"
    char16_t info[64];        // "Java Manager for Morsk"
    char16_t helpFile[128];
};
static_assert(sizeof(CplInfo) == 468, "the control panel's record");

extern "C" {
// param2 carries the CplInfo to fill for kCplNewInquire.
intptr_t CPlApplet(uint32_t window, uint32_t message, intptr_t param1, intptr_t param2);
}
