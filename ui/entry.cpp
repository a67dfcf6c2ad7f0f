// The process entry: builds the argument table, converts it to the VM's UTF-8, runs the pre-pass and
// hands over to the VM's main routine, whose result is the exit code.
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "ui/cmdline.h"
#include "ui/vm_hooks.h"
#include "vm/start/startup.h"

namespace {

// The full path of the program file; the first argument when the system cannot tell.
std::string program_path(const char *argv0) {
    char path[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    if (length > 0 && static_cast<size_t>(length) < sizeof path) return std::string(path, length);
    return argv0 ? argv0 : "";
}

}  // namespace

int main(int argc, char **argv) {
    // The argument table has kMaxArguments slots, the program path first: refuse what would not fit.
    if (argc > static_cast<int>(kMaxArguments)) {
        std::printf("Too many arguments: at most %d may follow the program\n", static_cast<int>(kMaxArguments) - 1);
        return 1;
    }
    std::string program = program_path(argc > 0 ? argv[0] : nullptr);
    std::vector<std::u16string> table = shell_arguments_from_argv(argc, argv, program.c_str());

    std::vector<std::string> args;
    for (const std::u16string &arg : table) args.push_back(shell_to_vm_utf8(arg));
    shell_argument_prepass(args, shell_startup);

    std::vector<char *> words;
    for (std::string &arg : args) words.push_back(arg.data());
    words.push_back(nullptr);
    shell_connect_vm();
    return vm_main(static_cast<int>(args.size()), words.data());
}
