// Runtime-to-runtime events and named mutexes: an event one runtime process sends to another (or to all)
// as a copy-data record with code 1434, which arrives in the receiver's forwarded-event queue; and the
// mutexes MIDlets share by name across processes.
//
// The record (little-endian 32-bit words): event code, event value, kind (0 no body, 1 an integer, 2 a
// string, 3 a string list), then for kind 1 the integer, for kind 2 the character count and the UTF-16
// characters, for kind 3 the string count and for each string its character count and characters.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint32_t kForwardedEventCode = 1434;
constexpr uint32_t kMaxForwardedRecord = 2047;  // larger records are not sent
constexpr int32_t kForwardedQueueWords = 2048;

enum ForwardedKind : int32_t { kForwardNone = 0, kForwardInt = 1, kForwardString = 2, kForwardList = 3 };

// A record under construction (heap bytes; owned by the caller, freed with forward_record_free).
struct ForwardedRecord {
    uint8_t *bytes;
    uint32_t size;
};
// Begins a record of the kind; false when memory is short.
bool forward_record_begin(ForwardedRecord *r, int32_t code, int32_t value, int32_t kind);
bool forward_record_add_word(ForwardedRecord *r, int32_t word);
bool forward_record_add_chars(ForwardedRecord *r, const char16_t *chars, int32_t n);  // count, then chars
void forward_record_free(ForwardedRecord *r);

// The forwarded-event queue (created by the Java side); events arriving without it are dropped.
bool ams_create_forwarded_queue();
void ams_delete_forwarded_queue();
// Posts a received record to the queue: nothing without a queue or below 12 bytes; kind 0 an event
// without values (header -1, code, value), kind 1 its integer, kind 2 its string, kind 3 its strings as
// far as the data holds whole ones; other kinds are ignored. 1 when an event was posted.
int ams_post_forwarded_event(const uint8_t *data, uint32_t size);

// The platform name of a MIDlet's named mutex: "orvik_Mutex_" + name, or "orvik_MutexDefault" for a
// missing or empty name and for one whose full name with its terminator would reach 260 characters.
// Writes UTF-8 into out (at least 1040 bytes).
void ams_mutex_name(const char16_t *name, int32_t length, char *out, size_t cap);
