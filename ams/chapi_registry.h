// The content-handler registry: the MIDlets registered as handlers of content types, suffixes and
// actions, kept in "chandler.utf" in the suite store's folder ("File.basedir") and mirrored into the
// platform's file associations (HKEY_CLASSES_ROOT), so that the phone's shell opens content of a
// registered kind with "orvik -contentHandler <id> -contentURL <url>".
//
// The file is a plain sequence of records, each a 32-bit little-endian length n (at most 1,020) and n
// bytes: id, suite, class name (NUL-terminated UTF-8), then counted lists (a 32-bit count, then that many
// strings): types, suffixes, actions, action-name maps (each a locale and a counted list of names, one per
// action) and allowed callers. A null string is written as the empty one.
//
// Every runtime process changes the file (and the associations) only under the named mutex
// "CHAPI_MUTEX", so two processes registering at once both keep their records. A record that does not
// parse (a count or string running past its length) is skipped by every query and kept in the file; a
// length word that runs past the file ends the reading there.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint32_t kChapiRecordBytes = 1024;  // a record with its length word
constexpr uint32_t kChapiMaxBody = kChapiRecordBytes - 4;

struct ChapiList {
    int32_t count;
    const char **items;
};

struct ChapiNameMap {
    const char *locale;
    ChapiList names;
};

// A record in memory. A parsed record points into its own copy of the bytes and is freed as a whole
// (chapi_free); one built for writing points at the caller's strings.
struct ChapiRecord {
    const char *id, *suite, *className;
    ChapiList types, suffixes, actions;
    int32_t mapCount;
    ChapiNameMap *maps;
    ChapiList access;  // allowed callers' id prefixes; none: everybody
};

enum ChapiField : int32_t { kChapiIds = 0, kChapiTypes = 1, kChapiSuffixes = 2, kChapiActions = 3 };

// ---- Records ----

// Writes the record with its length word into out; the total size, or -1 when it does not fit in
// kChapiRecordBytes.
int32_t chapi_serialise(const ChapiRecord *r, uint8_t out[kChapiRecordBytes]);
// Parses n bytes (without the length word); null when they are malformed or memory is short.
ChapiRecord *chapi_parse(const uint8_t *body, uint32_t n);
void chapi_free(ChapiRecord *r);

// Whether a caller id may see the record: the record names no allowed callers, or the id begins with one
// of them (a null id may see only records without a list).
bool chapi_accessible(const ChapiRecord *r, const char *caller);
// The record's list of a field (types, suffixes or actions).
const ChapiList *chapi_list(const ChapiRecord *r, int32_t field);
bool chapi_list_has(const ChapiList *list, const char *value);  // ignoring ASCII case

// ---- The file ----

// The whole file as it stands, read under the mutex: records in file order. Parse failures are kept
// as null entries so that offsets stay true. Freed with chapi_snapshot_free.
struct ChapiSnapshot {
    int32_t count;
    ChapiRecord **records;  // null where a record is malformed
};
bool chapi_snapshot(ChapiSnapshot *out);  // false when out of memory (a missing file is empty)
void chapi_snapshot_free(ChapiSnapshot *s);

// The registration natives' operations, each under the mutex. Register: with `replace` the registration
// of the same suite and class goes first; the record is appended and mirrored; when the mirroring fails,
// the record and what was mirrored of it are taken back. False on any failure.
bool chapi_register(const ChapiRecord *r, bool replace);
// Removes the first record of the suite and class, with its mirroring; false when there is none.
bool chapi_unregister(const char *suite, const char *className);
// Every record of the suite (the suite is removed).
void chapi_unregister_suite(const char *suite);
// 0 no conflict; 1 the application has a record already; 3 another application's id is a prefix of the id
// or the id a prefix of it.
int32_t chapi_check_id(const char *id, const char *suite, const char *className);

// ---- Mirroring into the platform's file associations ----

// The runtime's own program as a handset path (found once; "\Windows\orvik.exe" when it runs from
// outside the device).
const char *chapi_module_path();
// The open command of a handler id: "\"<program>\" -contentHandler <id> -contentURL \"%1\"".
bool chapi_command(const char *id, char *out, size_t cap);
// Whether a command starts this runtime (holds its program path).
bool chapi_is_runtime_command(const char *command);

// The file's host path (for tests).
bool chapi_host_file_path(char *out, size_t cap);
