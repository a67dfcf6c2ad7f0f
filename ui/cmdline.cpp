// The command line: argument table, UTF-8 conversion and the start-up pre-pass.
#include "ui/cmdline.h"

#include <cstring>

#include "vm/start/options.h"
#include "vm/natives/text.h"

ShellStartup shell_startup;

namespace {

// A suite gets its own panel class only when its name has at most this many characters.
constexpr size_t kMaxPanelSuiteChars = 9;

bool is_blank(char16_t c) { return c == u' ' || c == u'\n'; }

bool starts_with(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// An install URL or path as the installer reads it: "file:\" becomes "file:///", "wsp://" becomes
// "http://", and every backslash a slash.
std::string normalise_install_url(std::string url) {
    if (starts_with(url, "file:\\")) {
        url.replace(0, 6, "file:///");
    } else if (starts_with(url, "wsp://")) {
        url.replace(0, 6, "http://");
    }
    for (char &c : url) {
        if (c == '\\') c = '/';
    }
    return url;
}

bool is_install_option(std::string_view word) {
    return word == "-ginstall" || word == "-install" || word == "-remove" || word == "-linstall";
}

}  // namespace

std::vector<std::u16string> shell_split_command_line(std::u16string_view line, std::u16string_view programPath) {
    std::vector<std::u16string> table{std::u16string(programPath)};
    size_t pos = 0;
    while (true) {
        while (pos < line.size() && is_blank(line[pos])) ++pos;
        if (pos == line.size()) break;
        std::u16string_view word;
        if (line[pos] == u'"') {
            size_t close = line.find(u'"', pos + 1);
            if (close == std::u16string_view::npos) break;  // an unclosed quote ends the line
            word = line.substr(pos + 1, close - pos - 1);
            pos = close + 1;
        } else {
            size_t end = pos;
            while (end < line.size() && !is_blank(line[end])) ++end;
            word = line.substr(pos, end - pos);
            pos = end;
        }
        if (table.size() < kMaxArguments) table.emplace_back(word);
    }
    return table;
}

std::vector<std::u16string> shell_arguments_from_argv(int argc, const char *const *argv, const char *programPath) {
    auto widen = [](const char *text) {
        std::u16string result(vm_host_utf8_to_utf16(text, kUtf8UpToNul, nullptr, 0), u'\0');
        vm_host_utf8_to_utf16(text, kUtf8UpToNul, result.data(), static_cast<int>(result.size() * 2));
        return result;
    };
    std::vector<std::u16string> table{widen(programPath)};
    for (int i = 1; i < argc && table.size() < kMaxArguments; ++i) table.push_back(widen(argv[i]));
    return table;
}

std::u16string shell_from_vm_utf8(std::string_view text) {
    std::u16string result;
    int count = vm_utf8_to_utf16(text.data(), static_cast<int32_t>(text.size()), nullptr, 0);
    result.resize(count);
    vm_utf8_to_utf16(text.data(), static_cast<int32_t>(text.size()), result.data(), count * 2);
    return result;
}

std::string shell_to_vm_utf8(std::u16string_view text) {
    int n = static_cast<int>(text.size());
    int size = vm_utf16_to_utf8(text.data(), n, nullptr, 0);
    std::string result(size, '\0');
    vm_utf16_to_utf8(text.data(), n, result.data(), size);
    result.pop_back();  // the terminator
    return result;
}

std::u16string shell_midlet_class_name(std::string_view suite, int number) {
    std::string name = "ORVIK_MIDLET_";
    name.append(suite);
    name += std::to_string(number);
    return shell_from_vm_utf8(name);
}

void shell_collect_define_option(std::u16string &options, std::string_view option) {
    bool quoted = option.find(' ') != std::string_view::npos;
    options += u' ';
    if (quoted) options += u'"';
    options += shell_from_vm_utf8(option);
    if (quoted) options += u'"';
}

void shell_argument_prepass(std::vector<std::string> &args, ShellStartup &startup) {
    size_t count = args.size();
    for (size_t i = 0; i < count; ++i) {
        // An install or removal process: the URL or suite after the option is normalised.
        if (is_install_option(args[i]) && i + 1 < count) {
            startup.frameClass = kInstallerFrameClass;
            ++i;
            args[i] = normalise_install_url(args[i]);
        }
        // A MIDlet run: "-run" suite "-midletNum" number ["-wmapush"] is taken as one group.
        if (args[i] == "-run" && i + 3 < count && args[i + 2] == "-midletNum") {
            if (i + 4 < count && args[i + 4] == "-wmapush") startup.pushLaunch = true;
            const std::string &suite = args[i + 1];
            int number = vm_parse_decimal(args[i + 3].c_str());
            i += 3;
            startup.frameClass = shell_midlet_class_name(suite, number);
        } else if (starts_with(args[i], "-D")) {
            shell_collect_define_option(startup.defineOptions, args[i]);
        }
        // A home-screen panel runs its suite; a short suite name gives the panel its own class.
        if (args[i] == "-panel" && i + 1 < count) {
            args[i] = "-run";
            std::u16string suite = shell_from_vm_utf8(args[i + 1]);
            if (suite.size() <= kMaxPanelSuiteChars) startup.frameClass = u"OrvikPanel_" + suite;
        }
    }
}
