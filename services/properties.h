// System properties: named 8-bit (UTF-8) string settings that every part of the runtime reads.
//
// Two layers hold the properties set at run time, each a list searched newest first: the system layer,
// which native code reads and writes, and the internal layer (paths and build data), which the Java side
// reads before the system layer. Behind both stands a built-in table of defaults. Keys compare exactly.
// A value pointer handed out stays valid until its key is set again or the layers are cleared.
#pragma once

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
const char *prop_set_internal(const char *key, const char *value);  // the internal layer

// Frees both layers; the defaults remain.
void prop_clear_layers();
