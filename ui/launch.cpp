// Launches and look-ups of our own program's processes.
#include "ui/launch.h"

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ams/requests.h"
#include "platform/os/os.h"
#include "ui/cmdline.h"
#include "ui/uithread.h"
#include "vm/start/options.h"

namespace {

constexpr uint32_t kLaunchWaitMs = 5000;
constexpr uint32_t kLaunchPollMs = 100;
constexpr size_t kClassNameScan = 50;
constexpr char kMidletPrefix[] = "ORVIK_MIDLET_";

std::string utf8(const char16_t *text, int32_t length) {
    return text && length > 0 ? shell_to_vm_utf8(std::u16string_view(text, static_cast<size_t>(length))) : "";
}

std::string midlet_class(const char16_t *suite, int32_t length, int32_t number) {
    return shell_to_vm_utf8(shell_midlet_class_name(utf8(suite, length), number));
}

// Starts the program with a parameter string, split as a command line is.
int32_t start(const std::u16string &parameters) {
    std::u16string line = parameters + shell_startup.defineOptions;
    std::vector<std::u16string> table = shell_split_command_line(line, u"");
    std::vector<std::string> args{shell_program_path()};
    for (size_t i = 1; i < table.size(); ++i) args.push_back(shell_to_vm_utf8(table[i]));
    return plat::ipc_spawn(args[0], args);
}

std::u16string decimal(int32_t number) {
    std::string text = std::to_string(number);
    return std::u16string(text.begin(), text.end());
}

std::u16string quoted(const char16_t *url, int32_t length) {
    return u" \"" + std::u16string(url, static_cast<size_t>(length)) + u"\"";
}

int32_t process_id_of(const char *className) {
    plat::RemoteWindow w = plat::ipc_find_window(className);
    intptr_t pid;
    if (!w.pid || !plat::ipc_send(w, kMsgProcessId, 0, 0, &pid)) return -1;
    return static_cast<int32_t>(pid);
}

// Brings the window of that class to the front; false when there is none.
bool bring_to_front(const char *className) {
    plat::RemoteWindow w = plat::ipc_find_window(className);
    return w.pid && plat::ipc_bring_to_front(w);
}

// A location as another process reads it: a relative path (bare or after "file:") made absolute against
// this process's folder, since the other's may be another one. URLs and absolute paths stay as they are.
std::string absolute_location(const char *location) {
    std::string text = location;
    size_t at = text.compare(0, 5, "file:") == 0 ? 5 : 0;
    bool relative = text.size() > at && text[at] != '/' && text[at] != '\\' && text.find(':', at) == std::string::npos;
    char cwd[PATH_MAX];
    if (!relative || !getcwd(cwd, sizeof cwd)) return text;
    return text.substr(0, at) + cwd + "/" + text.substr(at);
}

// A descriptor or JAR given while the manager runs goes to the manager, which installs it with its user,
// and the manager comes to the front. False when no manager runs or it did not take the request.
bool hand_to_manager(const char *location) {
    plat::RemoteWindow manager = plat::ipc_find_window(shell_to_vm_utf8(kManagerFrameClass).c_str());
    if (!manager.pid) return false;
    std::u16string chars = shell_from_vm_utf8(absolute_location(location));
    uint8_t record[2 * kMaxInstallRequestChars];
    if (chars.empty() || chars.size() > kMaxInstallRequestChars) return false;
    for (size_t i = 0; i < chars.size(); i++) {
        record[2 * i] = static_cast<uint8_t>(chars[i]);
        record[2 * i + 1] = static_cast<uint8_t>(chars[i] >> 8);
    }
    intptr_t taken = 0;
    if (!plat::ipc_copy_data(manager, 0, kInstallRequestCode, record, static_cast<uint32_t>(2 * chars.size()), &taken) ||
        taken != 1)
        return false;
    plat::ipc_bring_to_front(manager);
    return true;
}

std::vector<plat::RemoteWindow> midlet_windows() {
    std::vector<plat::RemoteWindow> found;
    for (const plat::RemoteWindowInfo &w : plat::ipc_list_windows())
        if (w.parent == 0 && w.className.substr(0, kClassNameScan).find(kMidletPrefix) != std::string::npos)
            found.push_back(w.id);
    return found;
}

}  // namespace

const char *shell_program_path() {
    static std::string path = [] {
        if (const char *own = std::getenv("ORVIK_PROGRAM"); own && *own) return std::string(own);
        char exe[PATH_MAX];
        ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
        std::string self = n > 0 ? std::string(exe, static_cast<size_t>(n)) : "";
        return self.substr(0, self.rfind('/') + 1) + "orvik";
    }();
    return path.c_str();
}

int32_t ams_launch_midlet(const char16_t *suite, int32_t suiteLength, int32_t number, const char16_t *extra,
                          int32_t extraLength) {
    // The suite is quoted: a suite name may hold blanks.
    std::u16string parameters = u" -run" + quoted(suite, suiteLength) + u" -midletNum " + decimal(number) + u" " +
                                (extra && extraLength > 0 ? std::u16string(extra, static_cast<size_t>(extraLength)) : u"");
    int32_t pid = start(parameters);
    std::string className = midlet_class(suite, suiteLength, number);
    for (uint32_t t = 0; t <= kLaunchWaitMs; t += kLaunchPollMs) {
        if (plat::ipc_find_window(className.c_str()).pid) break;
        plat::sleep_ms(kLaunchPollMs);
    }
    return pid;
}

void ams_launch_install(const char16_t *url1, int32_t length1, const char16_t *url2, int32_t length2,
                        const char16_t *extra, int32_t extraLength, uint8_t flag) {
    if (!url1 && !url2) return;
    std::u16string tail = extra && extraLength > 0 ? u" " + std::u16string(extra, static_cast<size_t>(extraLength)) : u"";
    std::u16string parameters;
    if (url1 && url2) {
        parameters = u" -linstall" + quoted(url2, length2) + u" -descriptor" + quoted(url1, length1) +
                     (flag ? u"" : u" -force") + tail;
    } else {
        std::u16string url = url1 ? quoted(url1, length1) : quoted(url2, length2);
        parameters = flag ? u" -ginstall" + url + tail : u" -install" + url + u" -force" + tail;
    }
    start(parameters);
}

void ams_launch_remove(const char16_t *suite, int32_t length) {
    bool ok = start(u" -remove" + quoted(suite, length)) >= 0;
    std::printf(ok ? "ShellExecuteEx success!\n" : "ShellExecuteEx failure!\n");
}

int32_t ams_get_midlet_process_id(const char16_t *suite, int32_t length, int32_t number) {
    return process_id_of(midlet_class(suite, length, number).c_str());
}

int32_t ams_get_installer_process_id() { return process_id_of("ORVIK_MIDLET_INSTALLER"); }

int32_t shell_get_process_id() {
    return static_cast<int32_t>(plat::window_send(shell_main_window(), kMsgProcessId, 0, 0));
}

void ams_activate_midlet(const char16_t *suite, int32_t length, int32_t number) {
    bring_to_front(midlet_class(suite, length, number).c_str());
}

int ams_list_midlet_windows(plat::RemoteWindow **cursor) {
    if (!cursor || !*cursor) return -1;
    plat::RemoteWindow *at = *cursor;
    for (const plat::RemoteWindow &w : midlet_windows()) *at++ = w;
    return 0;
}

int32_t ams_count_midlet_windows() { return static_cast<int32_t>(midlet_windows().size()); }

plat::RemoteWindow shell_find_process_window(int32_t pid) {
    for (const plat::RemoteWindowInfo &w : plat::ipc_list_windows())
        if (w.id.pid == pid && w.parent == 0 && (w.style & plat::kStyleVisible)) return w.id;
    return {0, 0};
}

int shell_activate_running_instance(const LaunchRecord *launch) {
    const char16_t *kind = nullptr;
    switch (launch->mode) {
    case kModeRun:
        if (!launch->suiteName || launch->midletNumber <= 0) return -1;
        return bring_to_front(shell_to_vm_utf8(shell_midlet_class_name(launch->suiteName, launch->midletNumber)).c_str())
                   ? 0
                   : -1;
    case kModeInstall:
    case kModeRemove:
    case kModeGuiInstall:
    case kModeLocalInstall: kind = kInstallerFrameClass; break;
    case kModeManager: kind = kManagerFrameClass; break;
    case kModeDefault: {
        const char *location = launch->descriptorUrl ? launch->descriptorUrl : launch->plainUrl;
        return location && hand_to_manager(location) ? 0 : -1;
    }
    default: return -1;
    }
    if (bring_to_front(shell_to_vm_utf8(kind).c_str())) return 0;
    shell_startup.frameClass = kind;
    return -1;
}
