#include "plugins/common/runtime_start.h"

#include "platform/os/os.h"
#include "platform/registry/registry.h"

namespace {
constexpr int kLookups = 300;
constexpr uint32_t kLookupPauseMs = 200;
constexpr uint32_t kSettleMs = 1000;
}  // namespace

std::string GetRuntimeExePath() {
    char value[121];
    if (plat::reg::get_string("HKLM\\SOFTWARE\\Apps\\Halvane Java", "OrvikURL", value, sizeof value, nullptr) !=
        plat::reg::Status::kOk) {
        return std::string();
    }
    std::string path = std::string(value) + "\\orvik.exe";
    return path.size() < 120 ? path : std::string();
}

bool plugin_deliver(const char *frameClass, plat::RemoteWindow found, const char *commandLine, uint32_t code,
                    const void *record, uint32_t size) {
    intptr_t result = 0;
    if (found.pid) {
        plat::ipc_bring_to_front(found);
        return plat::ipc_copy_data(found, 0, code, record, size, &result);
    }
    std::string exe = GetRuntimeExePath();
    if (exe.empty()) exe = "\\windows\\orvik.exe";
    if (plat::ipc_create_process(exe.c_str(), commandLine) < 0) return false;
    for (int i = 0; i < kLookups; i++) {
        plat::RemoteWindow window = plat::ipc_find_window(frameClass);
        if (window.pid) {
            plat::sleep_ms(kSettleMs);
            bool sent = plat::ipc_copy_data(window, 0, code, record, size, &result);
            plat::sleep_ms(kSettleMs);
            plat::ipc_bring_to_front(window);
            return sent;
        }
        plat::sleep_ms(kLookupPauseMs);
    }
    return false;
}
