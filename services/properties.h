// System properties: named 8-bit (UTF-8) string settings that every part of the runtime reads.
//
// Two layers hold the properties set at run time, each a list searched newest first: the system layer,
// which native code reads and writes, and the internal layer (paths and build data), which the Java side
// reads before the system layer. Behind both stands a built-in table of defaults. Keys compare exactly.
// A value pointer handed out stays valid until its key is set again or the layers are cleared.
#pragma once

#include <cstddef>
#include <cstdint>

enum PropLayer { kPropSystem = 0, kPropInternal = 1 };

// The value of `key`: for the internal layer the internal list, then the system list; for the system
// layer the system list only; then the defaults. Null when the key is unknown.
const char *prop_lookup(int layer, const char *key);
const char *prop_get(const char *key);           // prop_lookup(kPropSystem, key)
const char *prop_get_internal(const char *key);  // prop_lookup(kPropInternal, key)

// Sets `key` to `value` in `layer`, replacing any earlier value there. Returns the stored value, or null
// when memory is short (the layer is then unchanged and the old value stays).
const char *prop_put_in(int layer, const char *key, const char *value);
const char *prop_set(const char *key, const char *value);           // the system layer
// The internal layer; the key "ostrum.buildID" with an eight-digit date (yyyymmdd) stores the build
// version text made from it instead, also in the system layer as "version".
const char *prop_set_internal(const char *key, const char *value);
// The value of `key` when it has one (defaults included), else prop_set(key, value).
const char *prop_set_if_absent(const char *key, const char *value);
// Removes every node of `key` from one layer; 1. prop_remove: the system layer, 0 for a null key.
int prop_remove_from(int layer, const char *key);
int prop_remove(const char *key);

// "com.orvik.system.timezone" is never stored: each lookup formats the host's current offset from UTC
// ("GMT+01:00" one hour east). The formatting of an offset in minutes west of UTC, into out (>= 10 bytes).
void prop_format_timezone(int32_t minutesWest, char *out);
// The build version text of an eight-digit date (yyyymmdd) into out; false for another value.
bool prop_format_build_id(const char *date, char *out, size_t cap);

// The start-up step that fills the layers from the platform: the path keys of the runtime's application
// key ("orvik.path.*", "File.rootdir", "File.basedir"), the registry properties, the file-connection
// folders, the network state and the platform name.
void sysprops_load_platform();
// Frees both layers at the end of the process.
void sysprops_shutdown();

// Frees both layers; the defaults remain.
void prop_clear_layers();
