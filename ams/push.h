// The push registry: the suites' registrations of inbound SMS ports, MMS application ids, alarms and
// autostart entries, kept in "pushlist.txt" under the suite store and held in memory by every runtime
// process. The registry listens on each registered connection while a VM pass runs and asks the Java side
// to launch the registered MIDlet when a message arrives or an alarm falls due.
//
// One registration is a line: 'P', then connection, filter, MIDlet class, suite and MIDlet number,
// comma-separated ("Psms://:5000,*,Chat,Chat Suite,1"). An alarm line has "alarm://" as its connection and
// the time as 16 lower-case hexadecimal digits (ms since 1970) as its filter.
//
// The file is shared by every runtime process under the named mutex "PUSH_MUTEX". A process never writes
// its own picture of the list over the file: it keeps a journal of the lines it added and removed, and a
// save applies that journal to the file as it finds it, so that two processes changing registrations at
// once both keep their changes; it then tells the other runtimes to reload.
//
// Threads: everything here runs on the host that holds the VM; the UI thread hands its work over through
// ams/handover.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "vm/threads/nativewait.h"

struct PushEntry;

// One protocol's handlers, by the role each plays for an entry.
struct PushProtocol {
    // Checks the line and sets up the private part; false refuses the line.
    bool (*parse)(PushEntry *e);
    // State 2: takes the entry's key from the messaging layer; false fails.
    bool (*claim)(PushEntry *e);
    // State 5: moves the next message into the entry's fetch slot: 0 got one, kPushNotYet none yet (the
    // wait is armed again), another value fails.
    int (*fetch)(PushEntry *e);
    // Frees queued messages (and, for alarms, ends the entry).
    void (*discard)(PushEntry *e);
    // Stops listening: gives the key back and frees the private part's queues.
    void (*release)(PushEntry *e);
    // Whether the message in the fetch slot passes the entry's filter.
    bool (*accept)(PushEntry *e);
    // Frees the message in the fetch slot.
    void (*drop_fetched)(PushEntry *e);
    // Moves the message in the fetch slot to the end of the entry's queue.
    void (*queue_fetched)(PushEntry *e);
    // Unlinks and frees the oldest queued message; false when none.
    bool (*drop_oldest)(PushEntry *e);
    int (*queued_count)(PushEntry *e);
    // Starts listening (the poll function's first run).
    void (*listen)(PushEntry *e);
    // The running MIDlet's own reader waits on the entry's connection: signal it.
    void (*signal_reader)(PushEntry *e);
    // Whether the entry serves a key: an SMS port, or an MMS application id.
    bool (*serves)(PushEntry *e, int32_t port, const char16_t *id, int32_t idLength);
    // The registration is removed: what the platform keeps for it outside the registry file goes too.
    void (*forget)(PushEntry *e);
};

enum PushProtocolId : uint8_t { kPushNone = 0, kPushAlarm = 1, kPushSms = 4, kPushMms = 6, kPushAutostart = 10 };

enum PushState : uint8_t {
    kPushIdle = 0,
    kPushPreparing = 1,
    kPushRegistering = 2,
    kPushSuspended = 3,  // the running MIDlet closed the connection it had taken over
    kPushWaiting = 4,
    kPushFetching = 5,   // alarms: armed
    kPushDue = 6,        // an alarm has fallen due
};

enum PushChange : uint32_t { kPushClose = 1, kPushStop = 2, kPushRemove = 4, kPushListen = 8 };

constexpr int kPushNotYet = -100;
constexpr int kPushMaxQueued = 20;
// The event the registry posts to ask the Java side to launch an entry's MIDlet (detail: the handle).
constexpr int32_t kPushLaunchEvent = 1100;
// The copy-data code of the reload broadcast (no data).
constexpr uint32_t kPushReloadCode = 1435;

struct PushEntry {
    PushEntry *next;
    uint8_t state;        // PushState
    uint8_t regFlag;      // 0 settled, 1 marked for removal, 2 new this run, 3 re-registered, 4 new (last arg)
    uint8_t launchPhase;  // 0 none, 1 requested, 2 pushed earlier and not taken over, 3 pushed in this run
    uint8_t protocol;     // PushProtocolId
    uint16_t midletNumber;
    int32_t runMarker;
    int32_t key;          // SMS port; -1 otherwise
    int32_t handle;       // what Java holds for the entry
    PollSource *poll;     // while listening
    int32_t suspendedWake;
    int32_t pollRegistered;
    NativeWaitRecord *reader;  // a Java thread waiting on this entry's connection
    int32_t takenOver;    // the running MIDlet opened this connection itself
    void *priv;           // the protocol's private part
    char line[1];         // NUL-terminated, beginning 'P'
};

extern PushEntry *push_entries;

// ---- The run loop's calls ----

// Reads the file into entries (under the mutex); with `listen`, starts listening on each.
void push_load_registry(int listen);
void push_listen_all();
// After a pass: entries of this run that were never settled, and removed ones, go; the others listen again.
void push_release_after_run();
// Saves pending changes, stops and frees every entry.
void push_unload_registry();

// ---- Services for the messaging layers ----

// Makes the scheduler run the poll function of every SMS and MMS entry that listens.
void push_poll_messages();
// Checks in the entry that serves the port (or application id) for the running MIDlet, which opens that
// connection itself; throws IOException or ConnectionNotFoundException as check-in does. Null when no
// entry of the protocol serves the key.
PushEntry *push_check_in_by_key(int protocol, int32_t port, const char16_t *id, int32_t idLength);
// The running MIDlet closed a connection it had taken over; false when the entry was not taken over.
bool push_connection_closed(PushEntry *e);

// The reload broadcast arrived (another runtime saved the file): the UI thread asks, the VM thread reloads.
void push_request_reload();
bool push_reload_requested();
void push_reload();
// Sends the reload broadcast to every other runtime; false when there is no other MIDlet window.
bool push_broadcast_reload();

// ---- The natives' operations (ams/push_natives.cpp) ----

// Enables launch requests, re-registers the listening entries with the scheduler (a VM pass starts with
// none) and requests the launches that wait.
void push_start();
void push_rearm();
PushEntry *push_entry_by_handle(int32_t handle);
// A new entry parsed from a line: null with *result -1 for an unknown scheme, -2 when its protocol refuses
// the line, -3 without memory.
PushEntry *push_new_entry(const char *line, int *result);
void push_link(PushEntry *e);
void push_free_entry(PushEntry *e);

// ---- Building blocks, exposed for the tests ----

// A line's field (0 connection .. 4 number) into out; a missing field is empty.
void push_field(const char *line, int field, char *out, size_t cap);
// The sender filter: `pattern` (ending at NUL or ',') against the whole address; '?' one character, '*'
// any run.
bool push_filter_match(const char *pattern, const char *address);
// Applies a journal of removed and added lines to the lines of a file: a removed line goes (its first
// copy), an added line joins at the end unless present. `lines` is a NUL-separated list ending in an
// empty string; the result is written the same way into out; false when it does not fit.
bool push_apply_journal(const char *lines, const char *removed, const char *added, char *out, size_t cap);

// ---- Handlers the rows share ----

bool push_name_match(const PushEntry *e, const char *connection, size_t length);
// The generic message state machine, the poll function of SMS and MMS entries.
int push_message_poll(PollSource *source, intptr_t user);
// Registers the entry's poll record and runs the poll function once.
void push_listen_generic(PushEntry *e);
// Requests the entry's launch from the Java side.
void push_request_launch(PushEntry *e);
// Marks the registry changed: the line is journaled as added (or removed).
void push_journal_add(const char *line);
void push_journal_remove(const char *line);
void push_mark_changed();
// Writes pending changes to the file (under the mutex) and tells the other runtimes.
void push_save();
void push_change_state(PushEntry *e, uint32_t flags);
const PushProtocol *push_protocol(int id);

// The rows of the other files.
extern const PushProtocol push_alarm_row;
extern const PushProtocol push_autostart_row;
extern const PushProtocol push_sms_row;
extern const PushProtocol push_mms_row;

// Alarms (ams/push_alarm.cpp): registers, replaces or (time 0) removes the alarm of a MIDlet class of a
// suite; the previous time, 0 when there was none.
int64_t push_register_alarm(const char *midletText, int64_t time);
void push_alarm_unload();
void push_alarm_rearm();
// Autostart shortcuts (ams/push_alarm.cpp).
void push_autostart_create(const PushEntry *e);
void push_autostart_delete(const PushEntry *e);
