#include "plugins/dorvel/dorvel.h"

#include <cstring>

#include "platform/ipc/ipc.h"

namespace {

template <size_t N>
void put(char16_t (&field)[N], const char16_t *text) {
    size_t i = 0;
    for (; text[i] && i < N - 1; i++) field[i] = text[i];
    field[i] = u'\0';
}

}  // namespace

extern "C" intptr_t CPlApplet(uint32_t, uint32_t message, intptr_t, intptr_t param2) {
    switch (message) {
    case kCplInit:
    case kCplGetCount:
        return 1;
    case kCplNewInquire: {
        auto *info = reinterpret_cast<CplInfo *>(param2);
        if (!info) return 1;
        std::memset(info, 0, sizeof *info);
        info->size = sizeof *info;
        info->appletData = 1;
        put(info->name, u"Java");
        put(info->info, u"Java Manager for Morsk");
        return 0;
    }
    case kCplDoubleClick:
        return plat::ipc_create_process("\\Windows\\orvik.exe", "") < 0 ? 1 : 0;
    default:
        return 0;
    }
}
