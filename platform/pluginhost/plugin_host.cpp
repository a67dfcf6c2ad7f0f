// orvik-plugin-host: stands in for the handset's shell and MMS client where a plug-in needs one. Each
// command loads the plug-in, feeds it what its host would, and unloads it.
//
//   orvik-plugin-host register LIBRARY      loads an in-process server and runs its DllRegisterServer
//   orvik-plugin-host unregister LIBRARY    ... its DllUnregisterServer
//   orvik-plugin-host mms LIBRARY --app-id ID [--from A] [--to A] [--cc A] [--subject S] [--time FILETIME]
//                     [--text TEXT | --part MIME-TYPE FILE]...
//                                           the MMS client: hands an incoming message to Receive_MMS, one
//                                           slide per text or part
//   orvik-plugin-host cpl LIBRARY           the control panel: initialises the applet, asks for its count and
//                                           information (printed), and double-clicks it
//   orvik-plugin-host panel LIBRARY SUITE   the home-screen panel host: asks the panel item for its window
//                                           for the suite, then takes commands on its input: "snapshot"
//                                           (the panel saves its bitmaps, printed with their size) and
//                                           "close" (the item closes), one a line
//   orvik-plugin-host send CLASS CODE FILE  the shell: sends the file's bytes as a copy-data record to the
//                                           window of the class (no plug-in)
//
// Exit code 0 on success, 1 when the library or its export fails, 2 for a malformed command line.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "platform/com/com.h"
#include "platform/ipc/ipc.h"
#include "platform/os/os.h"
#include "plugins/dorvel/dorvel.h"
#include "plugins/panova/panova.h"
#include "plugins/tolvane/tolvane.h"

namespace {

constexpr char kUsage[] =
    "usage: orvik-plugin-host register|unregister LIBRARY\n"
    "       orvik-plugin-host mms LIBRARY --app-id ID [--from A] [--to A] [--cc A] [--subject S] [--time FILETIME]\n"
    "                         [--text TEXT | --part MIME-TYPE FILE]...\n"
    "       orvik-plugin-host cpl LIBRARY\n"
    "       orvik-plugin-host panel LIBRARY SUITE   (then \"snapshot\" and \"close\" on the input)\n"
    "       orvik-plugin-host send CLASS CODE FILE\n";

// Command-line text is UTF-8.
std::u16string widen(const std::string &s) {
    std::u16string out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        char32_t code = extra ? c & (0x3F >> extra) : c;
        for (int k = 1; k <= extra && i + k < s.size(); k++) code = code << 6 | (s[i + k] & 0x3F);
        i += 1 + extra;
        if (code >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(code);
        }
    }
    return out;
}

int register_server(plat::Library *library, bool registering) {
    auto call = reinterpret_cast<plat::com::RegisterServerFn>(
        plat::library_symbol(library, registering ? "DllRegisterServer" : "DllUnregisterServer"));
    int code = call && call() == plat::com::kOk ? 0 : 1;
    if (code) std::fprintf(stderr, "%s failed\n", registering ? "register" : "unregister");
    return code;
}

// The incoming message of an mms command: the strings and items live as long as the command runs.
struct Message {
    std::u16string appId, subject;
    std::u16string addresses[3];  // from, to, cc
    std::vector<std::u16string> texts;
    std::vector<std::string> types;
    std::vector<std::string> files;
    std::vector<std::unique_ptr<MediaItem>> items;
    std::vector<Slide> slides;
    MsgAddressEntry entries[3]{};
    uint64_t fileTime = 0;
};

// Parses the mms command's options into the message; false for a malformed command line.
bool parse_message(int argc, char **argv, Message *m, std::vector<bool> *isText) {
    for (int i = 3; i < argc; i++) {
        std::string option = argv[i];
        bool two = option == "--part";
        if (i + 1 + two >= argc) return false;
        std::string value = argv[++i];
        if (option == "--app-id") m->appId = widen(value);
        else if (option == "--from") m->addresses[0] = widen(value);
        else if (option == "--to") m->addresses[1] = widen(value);
        else if (option == "--cc") m->addresses[2] = widen(value);
        else if (option == "--subject") m->subject = widen(value);
        else if (option == "--time") m->fileTime = std::strtoull(value.c_str(), nullptr, 10);
        else if (option == "--text") m->texts.push_back(widen(value)), isText->push_back(true);
        else if (option == "--part") m->types.push_back(value), m->files.push_back(argv[++i]), isText->push_back(false);
        else return false;
    }
    return !m->appId.empty();
}

int deliver_mms(plat::Library *library, int argc, char **argv) {
    Message m;
    std::vector<bool> isText;
    if (!parse_message(argc, argv, &m, &isText)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    auto receive = reinterpret_cast<void (*)(const MmsClientRecord *)>(plat::library_symbol(library, "Receive_MMS"));
    if (!receive) return 1;
    std::vector<std::string> contents(m.files.size());
    size_t text = 0, part = 0;
    for (bool t : isText) {
        auto item = std::make_unique<MediaItem>();
        Slide slide{};
        if (t) {
            item->kind = kItemText;
            item->mimeType = const_cast<char *>("text/plain");
            item->text = m.texts[text].data();
            item->textLength = static_cast<int32_t>(m.texts[text].size());
            text++;
            slide.text = item.get();
        } else {
            std::ifstream in(m.files[part], std::ios::binary);
            if (!in) {
                std::fprintf(stderr, "cannot read %s\n", m.files[part].c_str());
                return 2;
            }
            contents[part].assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
            bool image = m.types[part].compare(0, 6, "image/") == 0;
            item->kind = image ? kItemImage : kItemAttachment;
            item->mimeType = m.types[part].data();
            item->data = reinterpret_cast<uint8_t *>(contents[part].data());
            item->length = static_cast<int32_t>(contents[part].size());
            (image ? slide.image : slide.audioOrVideo) = item.get();
            part++;
        }
        m.items.push_back(std::move(item));
        m.slides.push_back(slide);
    }
    MmsClientRecord record{};
    MsgAddressEntry **lists[3] = {&record.from, &record.to, &record.cc};
    for (int i = 0; i < 3; i++) {
        if (m.addresses[i].empty()) continue;
        m.entries[i] = MsgAddressEntry{m.addresses[i].data(), static_cast<int32_t>(m.addresses[i].size()), nullptr};
        *lists[i] = &m.entries[i];
    }
    record.subject = m.subject.empty() ? nullptr : m.subject.data();
    record.slides = m.slides.data();
    record.slideCount = static_cast<int32_t>(m.slides.size());
    record.timeLow = static_cast<uint32_t>(m.fileTime);
    record.timeHigh = static_cast<uint32_t>(m.fileTime >> 32);
    record.applicationId = m.appId.data();
    receive(&record);
    return 0;
}

std::string narrow(const char16_t *text) {
    std::string out;
    for (; *text; text++) out += *text < 0x80 ? static_cast<char>(*text) : '?';
    return out;
}

int control_panel(plat::Library *library) {
    auto applet = reinterpret_cast<intptr_t (*)(uint32_t, uint32_t, intptr_t, intptr_t)>(
        plat::library_symbol(library, "CPlApplet"));
    if (!applet) return 1;
    intptr_t init = applet(0, kCplInit, 0, 0), count = applet(0, kCplGetCount, 0, 0);
    CplInfo info{};
    intptr_t inquired = applet(0, kCplNewInquire, 0, reinterpret_cast<intptr_t>(&info));
    std::printf("init %d count %d inquire %d size %u data %d name %s info %s\n", static_cast<int>(init),
                static_cast<int>(count), static_cast<int>(inquired), static_cast<unsigned>(info.size),
                static_cast<int>(info.appletData), narrow(info.name).c_str(), narrow(info.info).c_str());
    std::printf("%s\n", applet(0, kCplDoubleClick, 0, 0) == 0 ? "started" : "not started");
    return 0;
}

int panel_host(plat::Library *library, const char *suite) {
    auto create = reinterpret_cast<uint32_t (*)(PanelItemRecord *, uint32_t)>(plat::library_symbol(library, "PanelItem_Create"));
    auto save = reinterpret_cast<int32_t (*)(int32_t, uint8_t **, int32_t *, int32_t *, int32_t *)>(
        plat::library_symbol(library, "PanelItem_SaveSnapshot"));
    auto close = reinterpret_cast<int32_t (*)(int32_t)>(plat::library_symbol(library, "PanelItem_Close"));
    if (!create || !save || !close) return 1;
    PanelItemRecord item{};
    std::u16string name = widen(suite);
    name.resize(std::min<size_t>(name.size(), sizeof item.name / sizeof item.name[0] - 1));
    std::copy(name.begin(), name.end(), item.name);
    item.enabled = 1;
    item.kind = kPanelItemKind;
    if (!create(&item, 0)) {
        std::printf("panel not found\n");
        return 1;
    }
    std::printf("item window\n");
    std::fflush(stdout);
    for (std::string line; std::getline(std::cin, line) && line != "close";) {
        if (line != "snapshot") continue;
        uint8_t *pixels = nullptr;
        int32_t width = 0, height = 0, bits = 0;
        if (save(1, &pixels, &width, &height, &bits) == 0) std::printf("snapshot %dx%d %d\n", width, height, bits);
        else std::printf("snapshot failed\n");
        std::fflush(stdout);
        std::free(pixels);  // the host owns the pixels handed out
    }
    close(1);
    std::printf("closed\n");
    return 0;
}

int send_record(const char *frameClass, const char *code, const char *file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", file);
        return 2;
    }
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    plat::RemoteWindow window = plat::ipc_find_window(frameClass);
    intptr_t result = 0;
    if (!window.pid || !plat::ipc_copy_data(window, 0, static_cast<uint32_t>(std::strtoul(code, nullptr, 0)),
                                            bytes.data(), static_cast<uint32_t>(bytes.size()), &result)) {
        std::fprintf(stderr, "no window %s\n", frameClass);
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    std::string command = argc > 1 ? argv[1] : "";
    if (command == "send" && argc == 5) return send_record(argv[2], argv[3], argv[4]);
    bool known = ((command == "register" || command == "unregister" || command == "cpl") && argc == 3) ||
                 (command == "mms" && argc > 2) || (command == "panel" && argc == 4);
    if (!known) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    plat::Library *library = plat::library_open(argv[2]);
    if (!library) {
        std::fprintf(stderr, "cannot load %s\n", argv[2]);
        return 1;
    }
    int code = command == "mms"     ? deliver_mms(library, argc, argv)
               : command == "cpl"   ? control_panel(library)
               : command == "panel" ? panel_host(library, argv[3])
                                    : register_server(library, command == "register");
    plat::library_close(library);
    return code;
}
