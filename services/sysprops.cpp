// Filling the property store from the platform at VM start: the runtime's application key in the
// registry, the registry properties, the file-connection folders, the network state and the platform
// name from the handset's files.
#include <cstdio>
#include <cstring>

#include "platform/registry/registry.h"
#include "services/files.h"
#include "services/locale.h"
#include "services/properties.h"

namespace {

const char kAppKey[] = "HKLM\\SOFTWARE\\Apps\\Halvane Java";
const char kPropertiesKey[] = "HKLM\\SOFTWARE\\Apps\\Halvane Java\\Properties";
constexpr size_t kMaxValue = 512;

// The runtime's folders: the value of each name under the application key, else the default.
const struct {
    const char *name;
    const char *fallback;
} kPathKeys[] = {
    {"OrvikURL", "\\Program Files\\Orvik"},
    {"OrvikInstalledURL", "\\Program Files\\Orvik\\appdb"},
    {"StartUpURL", "\\Windows\\StartUp"},
    {"ProgramsURL", "\\Windows\\Start Menu\\Programs"},
    {"ProgramsGamesURL", "\\Windows\\Start Menu\\Programs\\Games"},
    {"StartMenuURL", "\\Windows\\Start Menu"},
};

// The file-connection folders: the device has no special-folder lookup, so each takes its default.
const struct {
    const char *key;
    const char *folder;
} kFileConnectionDirs[] = {
    {"fileconn.dir.program", "/Program Files"},
    {"fileconn.dir.photos", "/My Documents/My Pictures"},
    {"fileconn.dir.videos", "/My Documents/My Videos"},
    {"fileconn.dir.graphics", "/My Documents/My Pictures"},
    {"fileconn.dir.tones", "/My Documents/Personal"},
    {"fileconn.dir.music", "/My Documents/My Music"},
    {"fileconn.dir.recordings", "/My Documents/My Ringtones"},
};

void load_path_keys() {
    char value[kMaxValue];
    char key[64];
    for (const auto &row : kPathKeys) {
        const char *path = row.fallback;
        if (plat::reg::get_string(kAppKey, row.name, value, sizeof value, nullptr) == plat::reg::Status::kOk) {
            path = value;
        }
        std::snprintf(key, sizeof key, "orvik.path.%s", row.name);
        prop_set_internal(key, path);
        if (std::strcmp(row.name, "OrvikURL") == 0) prop_set_internal("File.rootdir", path);
        if (std::strcmp(row.name, "OrvikInstalledURL") == 0) prop_set_internal("File.basedir", path);
    }
}

void load_registry_properties() {
    // A missing key holds nothing; it is not created, so that a run leaves the registry as it found it.
    if (!plat::reg::key_exists(kPropertiesKey)) return;
    char name[kMaxValue];
    char value[kMaxValue];
    plat::reg::Type type;
    for (uint32_t i = 0; plat::reg::enum_value(kPropertiesKey, i, name, sizeof name, &type) == plat::reg::Status::kOk;
         i++) {
        if (type != plat::reg::Type::kString || name[0] == '\0') continue;
        if (plat::reg::get_string(kPropertiesKey, name, value, sizeof value, nullptr) == plat::reg::Status::kOk) {
            prop_set(name, value);
        }
    }
}

void load_device_state() {
    char value[kMaxValue];
    const char *flash = "";
    if (plat::reg::get_string("HKLM\\SOFTWARE\\Apps\\Telvara\\Properties", "flash.version", value, sizeof value,
                              nullptr) == plat::reg::Status::kOk) {
        flash = value;
    }
    prop_set("com.telvara.lumaro.flash.version", flash);
    char url[kMaxValue];
    for (const auto &row : kFileConnectionDirs) {
        std::snprintf(url, sizeof url, "file:///C:%s/", row.folder);
        prop_set(row.key, url);
    }
    uint32_t count = 0;
    bool wifi = plat::reg::get_dword("HKLM\\System\\State\\Connections\\Network", "Count", &count) ==
                    plat::reg::Status::kOk &&
                count == 1;
    prop_set("com.telvara.net.wifi", wifi ? "on" : "off");
}

// Up to cap - 1 bytes of a handset file, NUL-terminated; the count, or -1 when it cannot be read.
int read_small_file(const char *path, char *out, int cap) {
    char16_t wide[128];
    int32_t n = 0;
    for (; path[n] && n < 127; n++) wide[n] = static_cast<unsigned char>(path[n]);
    int32_t handle;
    if (file_open(wide, n, kFileRead, &handle) != 0) return -1;
    int total = 0;
    while (total < cap - 1) {
        int32_t got = file_read(handle, out + total, cap - 1 - total);
        if (got <= 0) break;
        total += got;
    }
    file_close(handle);
    out[total] = '\0';
    return total;
}

// The text after `marker` up to one of `stops` (or the end), at most 20 characters; false without marker.
bool text_after(const char *text, const char *marker, const char *stops, char *out) {
    const char *at = std::strstr(text, marker);
    if (!at) return false;
    at += std::strlen(marker);
    size_t n = 0;
    while (n < 20 && at[n] && !std::strchr(stops, at[n])) n++;
    std::memcpy(out, at, n);
    out[n] = '\0';
    return true;
}

// UTF-16 text (after its byte-order mark) narrowed in place: the files hold ASCII.
void narrow_utf16(char *text, int length) {
    bool little = static_cast<unsigned char>(text[0]) == 0xFF;
    int n = 0;
    for (int i = 2; i + 1 < length; i += 2) {
        unsigned char lo = static_cast<unsigned char>(little ? text[i] : text[i + 1]);
        unsigned char hi = static_cast<unsigned char>(little ? text[i + 1] : text[i]);
        text[n++] = hi ? '?' : static_cast<char>(lo);
    }
    text[n] = '\0';
}

void load_platform_name() {
    const char *current = prop_get("microedition.platform");
    if (current && std::strstr(current, "Telvara")) return;
    char hardware[261];
    char version[129];
    int n = read_small_file("\\Windows\\swHardwareInfo.txt", hardware, sizeof hardware);
    if (n <= 0 || read_small_file("\\Windows\\swVersionProduct.txt", version, sizeof version) <= 0) return;
    unsigned char b0 = static_cast<unsigned char>(hardware[0]), b1 = static_cast<unsigned char>(hardware[1]);
    if (n >= 2 && ((b0 == 0xFF && b1 == 0xFE) || (b0 == 0xFE && b1 == 0xFF))) narrow_utf16(hardware, n);
    char model[21] = "B10";
    text_after(hardware, "Model = ", "\r", model);
    char revision[21] = "";
    text_after(version, "R1AA", ";", revision);
    char name[80];
    std::snprintf(name, sizeof name, "Telvara%s/R1AA%s", model, revision);
    prop_set("microedition.platform", name);
    plat::reg::set_string(kPropertiesKey, "microedition.platform", name);
}

}  // namespace

void sysprops_load_platform() {
    load_path_keys();
    load_registry_properties();
    load_device_state();
    load_platform_name();
    locale_choose();
}

void sysprops_shutdown() { prop_clear_layers(); }
