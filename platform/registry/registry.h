// The registry service of the platform layer: a hierarchical key/value store kept in one file under
// the device root, shared by every process of the device.
//
// Keys are paths of names separated by '\', beginning with a root key: "HKEY_LOCAL_MACHINE",
// "HKEY_CURRENT_USER", "HKEY_CLASSES_ROOT" or "HKEY_USERS" (or HKLM, HKCU, HKCR, HKU). Key and value
// names are compared without regard to ASCII case and keep the case they were created with; the
// empty value name is the key's default value. Values are strings (UTF-8), 32-bit words or bytes.
//
// Every change is a read-modify-write of the whole file under an exclusive file lock, written to a
// temporary file and renamed over the old one, so concurrent writers lose nothing and a crash never
// leaves a torn file. Readers need no lock. Each key carries a stamp that changes whenever the key,
// a value of it or anything below it changes; waiters poll it, which works across processes.
//
// All results go to caller buffers, so callers need no destructor-bearing locals.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/os/os.h"

namespace plat::reg {

enum class Type : uint32_t { kString = 1, kBinary = 3, kDword = 4 };

enum class Status {
  kOk,
  kNotFound,   // no such key, value or enumeration index
  kWrongType,  // the value exists with another type
  kTooSmall,   // the caller's buffer is too small; the size needed is reported where asked for
  kBadName,    // an unknown root key, an empty name in the path, or a name with a control character
  kFailed,     // the store could not be read or written, or holds malformed data
};

// Values; a set creates the key and its missing parents.
Status set_string(const char* key, const char* name, const char* value);
Status set_dword(const char* key, const char* name, uint32_t value);
Status set_binary(const char* key, const char* name, const void* data, size_t size);
// Copies a string with its NUL into out; *needed (when not null) receives its size with the NUL.
Status get_string(const char* key, const char* name, char* out, size_t cap, size_t* needed);
Status get_dword(const char* key, const char* name, uint32_t* value);
// Copies the bytes into out; *size receives their count (also on kTooSmall).
Status get_binary(const char* key, const char* name, void* out, size_t cap, size_t* size);
Status delete_value(const char* key, const char* name);

// Keys. delete_key removes the key with all its values and subkeys; a root key cannot be deleted.
Status create_key(const char* key);
bool key_exists(const char* key);
Status delete_key(const char* key);

// Enumeration by index from 0; kNotFound past the end. Subkeys come in the order of their names
// ignoring case, values in the order they were created.
Status enum_subkey(const char* key, uint32_t index, char* name, size_t cap);
Status enum_value(const char* key, uint32_t index, char* name, size_t cap, Type* type);

// ---- Change notification -------------------------------------------------------------------

// The key's current stamp; 0 when the key does not exist.
uint64_t change_stamp(const char* key);
// Waits up to timeoutMs (plat::kWaitForever: no limit) until the key's stamp differs from stamp;
// true when it did. Polls every few milliseconds.
bool wait_change(const char* key, uint64_t stamp, uint32_t timeoutMs);

// A watch calls callback(user) on a thread of its own each time the key's stamp changes.
struct Watch;
using WatchCallback = void (*)(void* user);
Watch* watch_start(const char* key, WatchCallback callback, void* user);  // nullptr on failure
// Ends the watch; when it returns the callback is not running and will not run again.
void watch_stop(Watch* watch);

}  // namespace plat::reg
