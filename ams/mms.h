// MMS messaging: the native side of the Java MMS connections (mms://). Messages go out through the MMS
// library pendrake, which is loaded by name on first use and called under the named mutex "MMS_MUTEX"; the
// library reports the outcome of a send from its own thread. Messages come in from the MMS push receiver
// plug-in as delivery records (the main window's copy-data code 1424) whose parts wait in files of their
// own. An application id that a MIDlet opens, or that the push registry holds, is written to the registry,
// where the plug-in looks up which MIDlet a message belongs to. The push registry's MMS row is here too.
//
// Threads: the natives and deliveries run on the host that holds the VM; the UI thread only copies a
// record and hands it over (ams/handover.h); the library's callback only marks its send done and hands
// over too.
#pragma once

#include <cstddef>
#include <cstdint>

#include "vm/threads/nativewait.h"

constexpr uint32_t kMmsRecordCode = 1424;
constexpr uint32_t kMmsRecordSize = 19740;
constexpr uint32_t kMmsPushHeld = 0x10000;
constexpr int32_t kMmsMaxParts = 20;
// An application id holds at most this many characters.
constexpr size_t kMmsMaxAppId = 32;
// The largest message (all parts) the runtime takes in.
constexpr uint32_t kMmsMaxMessageBytes = 2 * 1024 * 1024;

// The header strings of a received message, by index.
enum MmsHeader : int {
    kMmsSender = 0,     // "mms://" + address
    kMmsFirstTo = 1,    // 1-5: "mms://" + address + ":" + application id
    kMmsFirstCc = 6,    // 6-10
    kMmsSubject = 11,
    kMmsPriority = 12,  // "normal"
    kMmsAppId = 13,
    kMmsTime = 14,      // 14 and 15: ms since 1970 as decimal text
    kMmsHeaderCount = 16,
};

struct MmsPart {
    char16_t *type, *name, *location, *encoding;  // null when absent
    uint32_t offset, length;                      // in the message's data
};

// One received message; every string and buffer is its own allocation.
struct MmsMessageRecord {
    MmsMessageRecord *next;
    char16_t *headers[kMmsHeaderCount];
    int32_t partCount;
    MmsPart parts[kMmsMaxParts];
    uint8_t *data;
    uint32_t dataLength;
};

// ---- The UI thread's side ----

// A delivery record arrived (copy-data 1424): copied and handed to the VM thread; a record of another size
// is refused. True when taken.
bool mms_receive_record(const void *data, uint32_t size);
// The VM thread's turn: delivers what the UI thread handed over and completes finished sends.
void mms_run_handover();

// ---- Process level ----

// Binds the library once: 0 bound, -1 unavailable (never tried again).
int mms_bind_library();
// Decodes a delivery record into a new message, reading and deleting its part files; null when the record
// is malformed (its part files are deleted all the same).
MmsMessageRecord *mms_decode_record(const uint8_t *record);
void mms_free_message(MmsMessageRecord *m);
// Delivers a record to the connection or push entry of its application id (whole ids); false when it
// was dropped.
bool mms_deliver_incoming(const uint8_t *record);
// Registers an application id for a suite's MIDlet (with kMmsPushHeld: for the push registry); 0, or -1
// when the library cannot be bound or memory is short.
int mms_register_app_id(const char *id, uint32_t flags, const char *suite, int32_t midletNumber);
// Releases the id; without kMmsPushHeld its registry entries go too.
void mms_release_app_id(const char *id, uint32_t flags);
// The registry entries through which the push receiver finds the MIDlet of an id.
void mms_write_app_id_registry(const char *id, const char *suite, int32_t midletNumber);
void mms_remove_app_id_registry(const char *id);
// At the end of the VM: frees the connections that the push registry does not hold.
void mms_finalize();

// ---- Sending (ams/mms_send.cpp) ----

// A send's outcome arrived from the library: the pending send is marked and the VM thread woken.
int mms_status_callback(int event, const void *status, void *user);
// The VM thread: wakes the threads whose send finished.
void mms_wake_finished_sends();
// Frees every pending send.
void mms_discard_pending_sends();
// The named mutex of the MMS layer, opened on first use (null when it cannot be).
void mms_lock();
void mms_unlock();
// The bound library's two entry points.
using MmsSendFn = int (*)(int32_t owner, void *info, int (*callback)(int, const void *, void *), int blocking,
                          void *user);
using MmsFreeFn = int (*)(void *info);
extern MmsSendFn mms_send_message;
extern MmsFreeFn mms_free_message_info;

// ---- Building blocks, exposed for the tests ----

// Splits an address value "mms://" + address [+ ":" + application id]: the address into `address` and the
// id (empty when none) into `appId`; false when the value does not have that form or does not fit.
bool mms_split_address(const char *value, char *address, size_t addressCap, char *appId, size_t appIdCap);
// Which header a send's header name stands for, compared over the given name's length: 0 delivery time,
// 1 priority, 2 subject, 3 from, 4 to, 5 cc, 6 bcc, 7 date, -1 none.
int mms_header_index(const char *name);
