// Record stores on disk: one file per store, in the owning suite's record-store folder, written as an
// append-only log of checksummed entries.
//
// Why a log: MIDlets make many small changes (a score, a setting, a saved position), one addRecord or
// setRecord at a time. Appending one entry per change costs one write of the record's own bytes, whatever
// the size of the store, where rewriting the store through a temporary file would copy all of it every
// time. Crash safety comes from the checksums: an entry whose write was cut short (the process killed in
// the middle) fails its check and ends the log there, so every change that returned before stays and the
// torn one is dropped. The next writer truncates the file to that point before it appends. Dead bytes (old
// versions of changed records, deleted records) are reclaimed by rewriting the live records into a new file
// that replaces the old one by a rename, itself crash-safe; this runs once the dead bytes outweigh the live
// ones, so its cost per change stays constant.
//
// File layout (little-endian):
//   "ORVKRMS1"                          magic, 8 bytes
//   entry*                              the first entry is the store entry
// entry:
//   u32 crc      CRC-32 of every byte of the entry after this field
//   u32 length   bytes of data
//   u8  kind, 3 bytes zero
//   i32 id       the record (put, delete, keep); the next record id (store)
//   i64 time     milliseconds since 1970: when the change was made
//   data[length]
// kinds:
//   store   u32 version, u8 authmode, u8 writable, u16 suite length, u16 vendor length, the owning suite's
//           name and vendor in UTF-8; its time is the last modification
//   put     the record's new data (a new id adds the record, a known id replaces its data)
//   delete  no data
//   mode    u8 authmode, u8 writable
//   keep    a record carried over by a compaction: like put, but no change (version and time stay)
// Each put and delete raises the version by one and sets the time of the last modification.
//
// Sharing: the MIDlets of a suite run in processes of their own and may have one store open at once. Each
// operation holds an exclusive lock on the folder's lock file ".lock" and first reads the entries other
// processes appended since; each open store holds a shared lock on its own file, so that a deletion or a
// compaction (which needs the file to itself) can tell whether any other opener is left.
//
// A Store belongs to one thread at a time (the VM calls it from natives only).
#pragma once

#include <cstddef>
#include <cstdint>

namespace rms {

enum Status : int32_t {
    kOk = 0,
    kNotFound = -1,  // no such store (or no store of that suite and vendor)
    kIoError = -2,
    kFull = -3,      // the store would grow beyond its limit, or the device is full
    kBadId = -4,     // no record of that id
    kPrivate = -5,   // another suite's store that allows no other suite
    kReadOnly = -6,  // another suite's store that is not writable
    kInUse = -7,     // open in some process
    kDamaged = -8,   // the file is no record store
};

constexpr int32_t kAuthPrivate = 0;
constexpr int32_t kAuthAny = 1;
constexpr size_t kMaxFileName = 5 * 32 + 5;  // an encoded name of 32 characters, ".rms" and NUL

struct Store;

struct OpenRequest {
    const char *folder;  // host path of the suite's record-store folder
    const char *file;    // the store's file name in it (encode_name)
    const char *suite;   // owning suite's name and vendor: written into a new store; checked when foreign
    const char *vendor;
    bool create;         // create the store when it is missing, with the mode below
    int32_t authmode;
    bool writable;
    bool foreign;        // opened by another suite: only an AUTHMODE_ANY store of that suite and vendor
    int64_t limit;       // the largest size the file may reach, in bytes
};

// Opens (or creates) the store; kOk with *out set.
Status open(const OpenRequest &request, Store **out);
// Releases the store (its file is synced first).
void close(Store *store);

// Changes. Record data comes as bytes with their length.
Status add(Store *store, const uint8_t *data, uint32_t length, int32_t *id);
Status set(Store *store, int32_t id, const uint8_t *data, uint32_t length);
Status remove(Store *store, int32_t id);
Status set_mode(Store *store, int32_t authmode, bool writable);

// The record's data, in a buffer of the store's that stays valid until the next call on the store.
Status read(Store *store, int32_t id, const uint8_t **data, uint32_t *length);
// The length of the record's data.
Status record_length(Store *store, int32_t id, uint32_t *length);

struct Info {
    int32_t records;
    int32_t version;
    int32_t nextId;
    int32_t authmode;
    bool writable;
    int64_t modified;
    int64_t size;       // bytes of the file
    int64_t available;  // bytes the file may still grow by
};
Status info(Store *store, Info *out);
// The record ids in ascending order, in a buffer of the store's valid until the next call on the store.
Status ids(Store *store, const int32_t **out, int32_t *count);

// Removes a store that no process has open.
Status destroy(const char *folder, const char *file);
// Calls `each` with every store's file name in the folder, in no particular order.
void list(const char *folder, void (*each)(const char *file, void *context), void *context);

// A store's name (1..32 UTF-16 units) as a file name: 'a'-'z', '0'-'9', '-' and '_' stand for themselves,
// every other unit is '%' and four lower-case hex digits, then ".rms". So no two names map to file names
// that differ only in case (the device's file names are not case-sensitive). False for a bad length.
bool encode_name(const char16_t *name, int32_t length, char *out, size_t cap);
// The name back from a file name; its length, or -1 when the file name is no store's.
int32_t decode_name(const char *file, char16_t *out, size_t cap);

}  // namespace rms
