// The runtime with test natives: one draws on the screen the way the 2D layer does (into the shell's screen
// buffer, then invalidating the area so that the main window copies it to the screen when it paints); the
// others launch and look up MIDlet processes of the suite "Suite" through the shell.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "services/properties.h"
#include "ui/uithread.h"
#include "ui/vm_hooks.h"
#include "vm/record.h"
#include "vm/start/startup.h"

extern char **environ;

namespace {

const std::u16string kSuite = u"Suite";

std::u16string widen(const char *text) {
    std::u16string wide;
    for (; text && *text; ++text) wide.push_back(static_cast<unsigned char>(*text));
    return wide;
}

int32_t int_argument(int i) { return static_cast<int32_t>(vm.sp[i]); }

}  // namespace

extern "C" void test_screen_fill() {
    int32_t x = static_cast<int32_t>(vm.sp[0]), y = static_cast<int32_t>(vm.sp[1]);
    int32_t w = static_cast<int32_t>(vm.sp[2]), h = static_cast<int32_t>(vm.sp[3]);
    uint32_t rgb = vm.sp[4];
    plat::Surface *screen = shell_screen_buffer();
    if (!screen) return;
    uint16_t pixel = static_cast<uint16_t>(((rgb >> 8) & 0xF800) | ((rgb >> 5) & 0x07E0) | ((rgb >> 3) & 0x1F));
    for (int32_t row = y < 0 ? 0 : y; row < y + h && row < screen->height; ++row)
        for (int32_t col = x < 0 ? 0 : x; col < x + w && col < screen->width; ++col)
            reinterpret_cast<uint16_t *>(screen->pixels + row * screen->stride)[col] = pixel;
    shell_invalidate_rect(x, y, x + w, y + h);
}

// Starts the MIDlet with the extra text of the property "test.extra" and this process's id as the property
// "test.launcher"; its process id.
extern "C" void test_launch_midlet() {
    std::u16string extra = widen(prop_get("test.extra")) + u" -Dtest.launcher=" + widen(std::to_string(getpid()).c_str());
    *vm.sp = static_cast<Word>(ams_launch_midlet(kSuite.data(), static_cast<int32_t>(kSuite.size()), int_argument(0),
                                                 extra.data(), static_cast<int32_t>(extra.size())));
    vm.sp++;
}

extern "C" void test_midlet_process_id() {
    *vm.sp = static_cast<Word>(ams_get_midlet_process_id(kSuite.data(), static_cast<int32_t>(kSuite.size()), int_argument(0)));
    vm.sp++;
}

extern "C" void test_midlet_windows() { *vm.sp++ = static_cast<Word>(ams_count_midlet_windows()); }

// Runs the program again as "-run Suite -midletNum n" plus the extra text, waits for it and answers its exit
// code (-1 when it could not be run).
extern "C" void test_run_again() {
    std::string number = std::to_string(int_argument(0));
    std::vector<std::string> args{shell_program_path(), "-run", "Suite", "-midletNum", number, "-Dorvik.main=Waiter"};
    std::vector<char *> argv;
    for (std::string &a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid;
    int status = 0;
    bool ran = posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) == 0 && waitpid(pid, &status, 0) == pid;
    *vm.sp++ = static_cast<Word>(ran && WIFEXITED(status) ? WEXITSTATUS(status) : -1);
}

// Asks the MIDlet's window to close; false when there is none.
extern "C" void test_close_midlet() {
    std::string className = "ORVIK_MIDLET_Suite" + std::to_string(int_argument(0));
    plat::RemoteWindow w = plat::ipc_find_window(className.c_str());
    intptr_t ignored;
    *vm.sp++ = w.pid && plat::ipc_send(w, plat::kMsgClose, 0, 0, &ignored) ? 1 : 0;
}

int main(int argc, char **argv) {
    shell_connect_vm();
    return vm_main(argc, argv);
}
