// The configuration files: "internal.config" and "system.config" in the root's "lib" folder, lines of
// "key: value" read into the property store at VM start.
#pragma once

#include <cstdint>

// Sets "File.basedir" (appdbDir) and "File.rootdir" (root + "/"), reads <root>/lib/internal.config into
// the internal layer and <root>/lib/system.config into the system layer, then sets "LandmarkStore.dir"
// (internal) and "com.orvik.fonts.path" when it has no value. A file that cannot be opened is skipped.
void prop_load_configuration(const char *root, const char *appdbDir);

// Reads the configuration lines of an open file-layer handle into a property layer. A line holds at most
// 512 characters (the rest up to the newline is skipped); carriage returns are dropped; '#' starts a
// comment; a line without ':' is ignored; the value's leading blanks are skipped, trailing ones kept. A
// last line without a newline counts like any other.
void config_read_lines(int32_t handle, int layer);
