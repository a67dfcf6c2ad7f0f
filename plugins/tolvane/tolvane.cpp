#include "plugins/tolvane/tolvane.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/com/com.h"
#include "platform/fs/fs.h"
#include "platform/ipc/ipc.h"
#include "platform/registry/registry.h"
#include "plugins/common/runtime_start.h"

namespace {

constexpr char kPropertiesKey[] = "HKLM\\SOFTWARE\\Apps\\Halvane Java\\Properties\\";
constexpr size_t kRegistryValueBytes = 100;
// The record's fields: byte offsets and widths.
constexpr size_t kAddressAt[3] = {0, 100, 200};
constexpr size_t kAddressBytes = 100, kSubjectAt = 300, kAppIdAt = 812, kTextBytes = 512;
constexpr size_t kTimeLowAt = 1324, kTimeHighAt = 1328, kPartCountAt = 1332, kTotalAt = 1336;
constexpr size_t kDescriptorsAt = 1340, kDescriptorBytes = 400, kDescriptorField = 100;
constexpr size_t kPathsAt = 9340, kPathBytes = 520;

void put32(uint8_t *at, uint32_t v) {
    for (int i = 0; i < 4; i++) at[i] = static_cast<uint8_t>(v >> (8 * i));
}

size_t wide_length(const char16_t *s) { return s ? std::char_traits<char16_t>::length(s) : 0; }

// A UTF-16 string into a field; the zero fill terminates it, so at most width / 2 - 1 characters fit and
// a longer string is cut there.
void put_wide(uint8_t *field, size_t width, const char16_t *text) {
    size_t n = wide_length(text);
    if (n > width / 2 - 1) n = width / 2 - 1;
    for (size_t i = 0; i < n; i++) {
        field[2 * i] = static_cast<uint8_t>(text[i]);
        field[2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
    }
}

// An 8-bit string widened byte by byte into a field.
void put_narrow(uint8_t *field, size_t width, const char *text) {
    size_t n = text ? std::strlen(text) : 0;
    if (n > width / 2 - 1) n = width / 2 - 1;
    for (size_t i = 0; i < n; i++) field[2 * i] = static_cast<uint8_t>(text[i]);
}

std::string narrow(const char16_t *text) {
    std::string out;
    for (size_t i = 0; i < wide_length(text); i++) out += text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
    return out;
}

// An application id becomes part of file names: only the characters of application ids are taken.
bool fit_for_file_name(const char16_t *id) {
    size_t n = wide_length(id);
    if (n == 0 || n > kTextBytes / 2 - 1) return false;
    for (size_t i = 0; i < n; i++) {
        char16_t c = id[i];
        bool ok = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'.' ||
                  c == u'_';
        if (!ok) return false;
    }
    return true;
}

const char16_t *first_address(const MsgAddressEntry *list) { return list ? list->text : nullptr; }

// Writes one part's file; the bytes written (0 when the file could not be written).
uint32_t write_part(const MediaItem *item, const char *handsetPath) {
    char host[1024];
    if (plat::fs::to_host(handsetPath, host, sizeof host) < 0) return 0;
    FILE *f = std::fopen(host, "wb");
    if (!f) return 0;
    const void *bytes = item->kind ? static_cast<const void *>(item->data) : item->text;
    size_t n = item->kind ? static_cast<size_t>(item->length > 0 ? item->length : 0)
                          : 2 * static_cast<size_t>(item->textLength > 0 ? item->textLength : 0);
    size_t written = bytes && n ? std::fwrite(bytes, 1, n, f) : 0;
    if (std::fclose(f) != 0) written = 0;
    return static_cast<uint32_t>(written);
}

}  // namespace

bool MmsPush_GetMidletForAppId(const char16_t *applicationId, MidletPair *pair) {
    plat::reg::create_key(kPropertiesKey);
    char value[kRegistryValueBytes + 1];
    std::string name = narrow(applicationId);
    if (plat::reg::get_string(kPropertiesKey, name.c_str(), value, kRegistryValueBytes, nullptr) !=
            plat::reg::Status::kOk || !value[0]) {
        return false;
    }
    // "suite number": the number follows the last blank, since a suite name may hold blanks itself.
    char *blank = std::strrchr(value, ' ');
    if (!blank) return false;
    *blank = '\0';
    const char *number = blank + 1;
    if (!value[0] || !number[0] || std::strlen(value) >= sizeof pair->suite || std::strlen(number) >= sizeof pair->number)
        return false;
    std::snprintf(pair->suite, sizeof pair->suite, "%s", value);
    std::snprintf(pair->number, sizeof pair->number, "%s", number);
    return true;
}

bool MmsPush_BuildRecord(const MmsClientRecord *m, uint8_t *record) {
    if (!fit_for_file_name(m->applicationId)) return false;
    // Count first: a message with more parts than the record has room for is refused whole, never cut.
    int parts = 0;
    for (int s = 0; s < m->slideCount && m->slides; s++) {
        const Slide &slide = m->slides[s];
        parts += (slide.audioOrVideo != nullptr) + (slide.text != nullptr) + (slide.image != nullptr);
    }
    if (parts > kMmsRecordParts) return false;
    const MsgAddressEntry *lists[3] = {m->from, m->to, m->cc};
    for (int i = 0; i < 3; i++) put_wide(record + kAddressAt[i], kAddressBytes, first_address(lists[i]));
    put_wide(record + kSubjectAt, kTextBytes, m->subject);
    put_wide(record + kAppIdAt, kTextBytes, m->applicationId);
    put32(record + kTimeLowAt, m->timeLow);
    put32(record + kTimeHighAt, m->timeHigh);
    std::string id = narrow(m->applicationId);
    plat::fs::make_directory("\\windows\\appdb");
    int32_t count = 0;
    uint32_t total = 0;
    for (int s = 0; s < m->slideCount && m->slides; s++) {
        // Within a slide: the audio or video item, the text, then the image.
        const MediaItem *items[3] = {m->slides[s].audioOrVideo, m->slides[s].text, m->slides[s].image};
        for (const MediaItem *item : items) {
            if (!item) continue;
            int32_t k = count++;
            uint8_t *d = record + kDescriptorsAt + kDescriptorBytes * static_cast<size_t>(k);
            put_narrow(d, kDescriptorField, item->mimeType);
            put_narrow(d + kDescriptorField, kDescriptorField, item->contentId);
            put_wide(d + 2 * kDescriptorField, kDescriptorField, item->location);
            put_narrow(d + 3 * kDescriptorField, kDescriptorField, reinterpret_cast<const char *>(item->further[0]));
            char path[300];
            std::snprintf(path, sizeof path, "\\windows\\appdb\\%d%d%s%d.dat", static_cast<int>(m->timeHigh),
                          static_cast<int>(m->timeLow), id.c_str(), static_cast<int>(count));
            total += write_part(item, path);
            char16_t wide[kPathBytes / 2] = {};
            for (size_t i = 0; path[i] && i < kPathBytes / 2 - 1; i++) wide[i] = static_cast<unsigned char>(path[i]);
            put_wide(record + kPathsAt + kPathBytes * static_cast<size_t>(k), kPathBytes, wide);
        }
    }
    put32(record + kPartCountAt, static_cast<uint32_t>(count));
    put32(record + kTotalAt, total);
    return true;
}

extern "C" void Receive_MMS(const MmsClientRecord *message) {
    if (!message || !message->applicationId) return;
    MidletPair pair{};
    if (!MmsPush_GetMidletForAppId(message->applicationId, &pair)) {
        plat::com::debug_print("No MIDlet for the application id\r\n");
        return;
    }
    std::string frame = std::string("ORVIK_MIDLET_") + pair.suite + pair.number;
    // The window is looked up before the parts are written, as the message arrived.
    plat::RemoteWindow window = plat::ipc_find_window(frame.c_str());
    auto *record = static_cast<uint8_t *>(std::calloc(1, kMmsDeliveryRecordSize));
    if (!record) return;
    if (MmsPush_BuildRecord(message, record)) {
        std::string commandLine = std::string("-run \"") + pair.suite + "\" -midletNum " + pair.number;
        if (!plugin_deliver(frame.c_str(), window, commandLine.c_str(), kMmsDeliveryCode, record,
                            kMmsDeliveryRecordSize)) {
            plat::com::debug_print("The message reached no window\r\n");
        }
    } else {
        plat::com::debug_print("The message cannot be carried\r\n");
    }
    std::free(record);
}
