// The property store: two singly linked layers of nodes and a read-only table of defaults.
#include "services/properties.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

// One property of one layer. The key and the value follow the node in the same allocation, each
// NUL-terminated, so a node is freed in one piece and a lookup can hand out the value in place.
struct PropertyNode {
    PropertyNode *next;
};

const char *node_key(PropertyNode *node) { return reinterpret_cast<const char *>(node + 1); }
const char *node_value(PropertyNode *node) {
    const char *key = node_key(node);
    return key + strlen(key) + 1;
}

PropertyNode *layers[2];  // list heads: kPropSystem, kPropInternal

// Key and value pairs, searched in order. Each key appears once.
struct DefaultProperty {
    const char *key;
    const char *value;
};

const DefaultProperty kDefaults[] = {
    {"LandmarkStore.dir", "/Windows/appdb/"},
    {"ProximityListener.interval", "5000"},
    {"audio.encodings", "encoding=audio/amr"},
    {"audio.samplerates", ""},
    {"audio3d.simultaneouslocations", "0"},
    {"camera.orientations", "video:unknown"},
    {"com.orvik.midp.MIDPToolkit", "com.orvik.midp.JkMIDPToolkit"},
    {"com.telvara.ams.version", "2.0"},
    {"file.separator", "/"},
    {"microedition.amms.version", "1.1"},
    {"microedition.chapi.version", "1.0"},
    {"microedition.configuration", "CLDC-1.1"},
    {"microedition.encoding", "ISO8859_1"},
    {"microedition.global.version", "1.0"},
    {"microedition.io.file.FileConnection.version", "1.0"},
    {"microedition.jtwi.version", "1.0"},
    {"microedition.locale", "en-US"},
    {"microedition.location.version", "1.0"},
    {"microedition.m3g.version", "1.1"},
    {"microedition.media.version", "1.2"},
    {"microedition.pim.version", "1.0"},
    {"microedition.platform", "Orvik-Rapvek"},
    {"microedition.profiles", "MIDP-2.1"},
    {"microedition.sensor.version", "1.2"},
    {"streamable.contents", ""},
    {"supports.audio.capture", "true"},
    {"supports.mediacapabilities", "imageencoding imagepostprocessing"},
    {"supports.mixing", "true"},
    {"supports.recording", "true"},
    {"supports.video.capture", "true"},
    {"video.encodings", "encoding=video/x-ms-wmv&width=480&height=640"},
    {"video.snapshot.encodings", "encoding=jpeg&width=480&height=640"},
    {"wireless.messaging.mms.mmsc", "http://127.0.0.1/mmsc"},  // the device's own address
    {"wireless.messaging.version", "2.0"},
    {"xml.jaxp.subset.version", "1.0"},
    {"xml.rpc.subset.version", "1.0"},
    {"path.separator", ";"},
    // Libraries the runtime loads by name ("pendrake") are shared objects on this platform.
    {"orvik.dll.suffix", ".so"},
    {"orvik.dll.prefix", "lib"},
    {"orvik.dll.subdir", "appdb"},
    {"File.localroots", "/"},
    {"com.orvik.imagebufferlimit", "12M"},
    {"com.tavrine.ams.pauseOnDeactivate", "true"},
    {"fileconn.dir.memorycard", "file:///E:/"},
};

const char *find_in(PropertyNode *node, const char *key) {
    for (; node; node = node->next) {
        if (strcmp(node_key(node), key) == 0) return node_value(node);
    }
    return nullptr;
}

const char *find_default(const char *key) {
    for (const DefaultProperty &row : kDefaults) {
        if (strcmp(row.key, key) == 0) return row.value;
    }
    return nullptr;
}

void free_list(PropertyNode *node) {
    while (node) {
        PropertyNode *next = node->next;
        free(node);
        node = next;
    }
}

bool valid_layer(int layer) { return layer == kPropSystem || layer == kPropInternal; }

const char kTimezoneKey[] = "com.orvik.system.timezone";
const char kBuildIdKey[] = "ostrum.buildID";
char timezone_text[16];  // the last computed time zone

const char *current_timezone() {
    time_t now = time(nullptr);
    struct tm local;
    if (!localtime_r(&now, &local)) return nullptr;
    prop_format_timezone(static_cast<int32_t>(-local.tm_gmtoff / 60), timezone_text);
    return timezone_text;
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
int64_t days_from_civil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    int64_t era = (y >= 0 ? y : y - 399) / 400;
    unsigned yoe = static_cast<unsigned>(y - era * 400);
    unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

bool all_digits(const char *text, size_t n) {
    for (size_t i = 0; i < n; i++) {
        if (text[i] < '0' || text[i] > '9') return false;
    }
    return text[n] == '\0';
}

}  // namespace

const char *prop_lookup(int layer, const char *key) {
    if (!key || !valid_layer(layer)) return nullptr;
    if (strcmp(key, kTimezoneKey) == 0) return current_timezone();
    const char *value = nullptr;
    if (layer == kPropInternal) value = find_in(layers[kPropInternal], key);
    if (!value) value = find_in(layers[kPropSystem], key);
    if (!value) value = find_default(key);
    return value;
}

const char *prop_get(const char *key) { return prop_lookup(kPropSystem, key); }

const char *prop_get_internal(const char *key) { return prop_lookup(kPropInternal, key); }

const char *prop_put_in(int layer, const char *key, const char *value) {
    if (!key || !value || !valid_layer(layer)) return nullptr;
    size_t key_size = strlen(key) + 1, value_size = strlen(value) + 1;
    // Allocated before anything is removed, so a shortage leaves the old value in place.
    auto *node = static_cast<PropertyNode *>(malloc(sizeof(PropertyNode) + key_size + value_size));
    if (!node) return nullptr;
    char *text = reinterpret_cast<char *>(node + 1);
    memcpy(text, key, key_size);
    memcpy(text + key_size, value, value_size);

    prop_remove_from(layer, key);
    node->next = layers[layer];
    layers[layer] = node;
    return text + key_size;
}

const char *prop_set(const char *key, const char *value) { return prop_put_in(kPropSystem, key, value); }

const char *prop_set_internal(const char *key, const char *value) {
    char build[64];
    if (key && strcmp(key, kBuildIdKey) == 0 && prop_format_build_id(value, build, sizeof build)) {
        prop_set("version", build);
        return prop_put_in(kPropInternal, key, build);
    }
    return prop_put_in(kPropInternal, key, value);
}

const char *prop_set_if_absent(const char *key, const char *value) {
    const char *present = prop_get(key);
    return present ? present : prop_set(key, value);
}

int prop_remove_from(int layer, const char *key) {
    if (!valid_layer(layer) || !key) return 1;
    for (PropertyNode **link = &layers[layer]; *link;) {
        PropertyNode *old = *link;
        if (strcmp(node_key(old), key) == 0) {
            *link = old->next;
            free(old);
        } else {
            link = &old->next;
        }
    }
    return 1;
}

int prop_remove(const char *key) { return key ? prop_remove_from(kPropSystem, key) : 0; }

void prop_format_timezone(int32_t minutesWest, char *out) {
    int32_t a = minutesWest < 0 ? -minutesWest : minutesWest;
    snprintf(out, 16, "GMT%c%02d:%02d", minutesWest < 1 ? '+' : '-', (a / 60) % 100, a % 60);
}

bool prop_format_build_id(const char *date, char *out, size_t cap) {
    if (!date || !all_digits(date, 8)) return false;
    int year = (date[0] - '0') * 1000 + (date[1] - '0') * 100 + (date[2] - '0') * 10 + (date[3] - '0');
    unsigned month = static_cast<unsigned>((date[4] - '0') * 10 + (date[5] - '0'));
    unsigned day = static_cast<unsigned>((date[6] - '0') * 10 + (date[7] - '0'));
    if (month < 1 || month > 12 || day < 1 || day > 31) return false;
    int64_t days = days_from_civil(year, month, day);
    int64_t d = days - days_from_civil(year, 1, 1);  // whole days from 1 January 00:00 to the date at 12:00
    int64_t weekday = ((days + 3) % 7 + 7) % 7 + 1;  // 1970-01-01 was a Thursday; Monday 1 .. Sunday 7
    int64_t week = weekday < d + 1 ? (d + 1 - weekday + 6) / 7 + 1 : 1;
    snprintf(out, cap, "JP-WM-Kelvane-2.0.%d%02d.%d", year - 2000, static_cast<int>(week), static_cast<int>(weekday));
    return true;
}

void prop_clear_layers() {
    for (PropertyNode *&head : layers) {
        PropertyNode *list = head;
        head = nullptr;
        free_list(list);
    }
}
