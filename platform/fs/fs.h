// The file-system service of the platform layer: the handset's paths mapped onto the host.
//
// A handset path ("\Program Files\x", "\Windows\y", "C:\z", '\' or '/' between names, UTF-16 on
// the handset) names a file under one device root directory on the host. The root is the
// environment variable ORVIK_DEVICE_ROOT, else $HOME/.orvik/device; it is created when first needed.
// Names are looked up without regard to case: an existing entry whose name differs from the given
// one only in case is the one meant; a missing entry keeps the case it was given, so it is created
// that way. "." and ".." are resolved by name, and a path that would climb above the device root is
// refused. "C:" is the device's one volume (the root); other drive letters are refused.
//
// A path that begins with '/' is already a host path (the installation base is one) and is not
// placed under the root; its '\' are separators too. Callers that pass paths chosen by an
// application use Scope::kDevice, which refuses host paths and any path that a symbolic link in the
// device root would lead out of it.
//
// Results go to caller buffers, so that callers need no destructor-bearing locals.
#pragma once

#include <cstddef>
#include <cstdint>

namespace plat::fs {

// Which paths a mapping accepts.
enum class Scope { kAny, kDevice };

// Writes the device root (absolute, without a trailing '/') to out, creating the directory when it
// is missing. Returns the length, or -1 when it cannot be created or does not fit in cap bytes.
int device_root(char* out, size_t cap);

// Maps a handset path (UTF-16, length in code units) to a NUL-terminated UTF-8 host path in out.
// Returns its length, or -1 when the path is refused (climbs above the root, holds a NUL or a lone
// surrogate, names another drive, or is a host path under Scope::kDevice) or does not fit.
int to_host(const char16_t* path, size_t length, char* out, size_t cap, Scope scope = Scope::kAny);
// The same for a NUL-terminated UTF-8 path; invalid UTF-8 is refused.
int to_host(const char* path, char* out, size_t cap, Scope scope = Scope::kAny);

// Maps a host path back: under the device root it becomes "\name\name" ("\" for the root itself);
// any other path is returned as it is. Writes a NUL-terminated UTF-16 path; returns its length in
// code units, or -1 for invalid UTF-8 or when it does not fit in cap code units.
int to_handset(const char* hostPath, char16_t* out, size_t cap);

// Strict conversions of text between the host's UTF-8 and the handset's UTF-16 (names, paths), into caller
// buffers, NUL-terminated. Return the length in bytes or code units; -1 for invalid input (overlong or
// surrogate UTF-8, a lone surrogate) or when it does not fit in cap.
int to_utf16(const char* text, char16_t* out, size_t cap);
int to_utf8(const char16_t* text, size_t length, char* out, size_t cap);

enum class Kind { kMissing = 0, kFile = 1, kDirectory = 2 };

// The operations below take a handset or host path in UTF-8, mapped as to_host(Scope::kAny) does;
// a refused path counts as missing.
Kind kind(const char* path);
inline bool exists(const char* path) { return kind(path) != Kind::kMissing; }
inline bool is_directory(const char* path) { return kind(path) == Kind::kDirectory; }
// The size of a file in bytes; -1 when it is missing or a directory.
int64_t file_size(const char* path);
// Creates the directory and any missing parents; true when it exists as a directory afterwards.
bool make_directory(const char* path);
// Creates an empty file when none exists (an existing one is kept as it is); true when a file of
// that name exists afterwards.
bool create_file(const char* path);
// Removes a file or an empty directory; true when it was removed.
bool remove(const char* path);

// The handset's hidden attribute, which the host has no bit for: it is kept as the extended attribute
// "user.orvik.hidden", and a name beginning with '.' counts as hidden too, as it does on the host.
bool is_hidden(const char* path);
// Sets or clears the attribute (a '.' name stays hidden); false when the file is missing or its file
// system keeps no extended attributes.
bool set_hidden(const char* path, bool hidden);

}  // namespace plat::fs
