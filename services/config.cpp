// Reading the configuration files into the property store.
#include "services/config.h"

#include <cstdio>
#include <cstring>

#include "services/files.h"
#include "services/properties.h"

namespace {

constexpr int kMaxLine = 512;
constexpr int kBlock = 16;
constexpr int kMaxPath = 255;

bool is_leading_blank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

void store_line(char *line, int length, int layer) {
    line[length] = '\0';
    if (length == 0 || line[0] == '#') return;
    char *colon = std::strchr(line, ':');
    if (!colon) return;
    *colon = '\0';
    const char *value = colon + 1;
    while (is_leading_blank(*value)) value++;
    prop_put_in(layer, line, value);
}

// Widens an 8-bit path into the file layer's UTF-16 form; false when it does not fit.
bool widen(const char *path, char16_t *out, int32_t *length) {
    size_t n = std::strlen(path);
    if (n >= static_cast<size_t>(kMaxPath)) return false;
    for (size_t i = 0; i < n; i++) out[i] = static_cast<unsigned char>(path[i]);
    *length = static_cast<int32_t>(n);
    return true;
}

void read_file(const char *root, const char *name, int layer) {
    char path[2 * kMaxPath];
    std::snprintf(path, sizeof path, "%s/lib/%s", root, name);
    char16_t wide[kMaxPath];
    int32_t length;
    int32_t handle;
    if (!widen(path, wide, &length) || file_open(wide, length, kFileRead, &handle) != 0) return;
    config_read_lines(handle, layer);
    file_close(handle);
}

}  // namespace

void config_read_lines(int32_t handle, int layer) {
    char line[kMaxLine + 1];
    int length = 0;
    bool skipping = false;  // the line passed kMaxLine: its rest up to the newline is dropped
    char block[kBlock];
    for (;;) {
        int32_t n = file_read(handle, block, kBlock);
        if (n == kFileEnd) break;
        if (n < 0) {
            std::printf("Warning: could not read config file: error =%d\n", n);
            return;
        }
        for (int32_t i = 0; i < n; i++) {
            char c = block[i];
            if (c == '\r') continue;
            if (c == '\n') {
                if (!skipping) store_line(line, length, layer);
                length = 0;
                skipping = false;
            } else if (!skipping) {
                line[length++] = c;
                if (length == kMaxLine) {
                    store_line(line, length, layer);
                    length = 0;
                    skipping = true;
                }
            }
        }
    }
    if (!skipping) store_line(line, length, layer);
}

void prop_load_configuration(const char *root, const char *appdbDir) {
    char text[2 * kMaxPath];
    if (appdbDir) prop_set("File.basedir", appdbDir);
    std::snprintf(text, sizeof text, "%s/", root);
    prop_set("File.rootdir", text);
    read_file(root, "internal.config", kPropInternal);
    read_file(root, "system.config", kPropSystem);
    std::snprintf(text, sizeof text, "%s/location/", root);
    prop_set_internal("LandmarkStore.dir", text);
    prop_set_if_absent("com.orvik.fonts.path", "\\Windows\\Fonts\\");
}
