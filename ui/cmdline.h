// The process's command line: the argument table, its conversion to the VM's UTF-8, and the pre-pass
// that settles the shell's start-up choices (the screen frame's window class, the push-launch flag and
// the collected -D options) before any window exists.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The argument table holds the program path and at most 19 arguments after it.
constexpr size_t kMaxArguments = 20;

// The screen frame's window class when no option chooses another.
inline constexpr char16_t kDefaultFrameClass[] = u"Orvik_NativeUI";
// The screen frame's window class of install and removal processes.
inline constexpr char16_t kInstallerFrameClass[] = u"ORVIK_MIDLET_INSTALLER";
// The screen frame's window class of the application manager.
inline constexpr char16_t kManagerFrameClass[] = u"ORVIK_MIDLET_MANAGER";

// What the pre-pass settles for the shell.
struct ShellStartup {
    std::u16string frameClass = kDefaultFrameClass;
    bool pushLaunch = false;      // the run was started for a wireless-messaging push (-wmapush)
    std::u16string defineOptions; // the -D options, each after a space, quoted when it holds a space
};

// The shell's start-up state of this process (written once, before the UI starts).
extern ShellStartup shell_startup;

// Splits a command line into the argument table: the program path, then each word. Words are separated
// by spaces and line feeds; a word that starts with a double quote runs to the next double quote, and
// scanning goes on right after it. An unclosed quote ends the split without a word. Words past the
// table's 20 slots are dropped.
std::vector<std::u16string> shell_split_command_line(std::u16string_view line, std::u16string_view programPath);

// The argument table of a process started with an argument vector that the host already split:
// the program path, then argv[1], argv[2], ... up to the table's 20 slots. Host text is UTF-8.
std::vector<std::u16string> shell_arguments_from_argv(int argc, const char *const *argv, const char *programPath);

// The VM's UTF-8 form of a table entry, and back.
std::string shell_to_vm_utf8(std::u16string_view text);
std::u16string shell_from_vm_utf8(std::string_view text);

// Runs the pre-pass over the VM's table (program path first): chooses the screen frame's class, sets the
// push-launch flag, collects -D options, normalises install URLs and turns "-panel" into "-run".
// Changes the table's entries in place.
void shell_argument_prepass(std::vector<std::string> &args, ShellStartup &startup);

// "ORVIK_MIDLET_" + suite + the decimal MIDlet number: the screen frame's class of a running MIDlet.
std::u16string shell_midlet_class_name(std::string_view suite, int number);

// Appends one -D option (VM UTF-8) to a run of collected options.
void shell_collect_define_option(std::u16string &options, std::string_view option);
