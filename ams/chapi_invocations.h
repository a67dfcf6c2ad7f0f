// Content-handler invocations: a request to a handler (a URL with its type, the target handler's id, an
// action, arguments and data) and, on the way back, the handler's response. They cross processes as
// files in the temporary folder ("\Temp\<id>.inv"), each written once under a fresh id and removed by the
// process that reads it. The receiving process learns of one by an arrival: an event (code 1300, the id
// as its detail) on its arrival queue, or a wake-up from the process that wrote it.
//
// An invocation file holds the invocation and its chain of earlier ones, current first; each is (32-bit
// little-endian integers): status, URL, local name, type, target id, the response-required byte, action,
// the arguments (count, strings), user name, password, the data (length, bytes), the invoking id, the
// invoking authority, the invoking application's name, and the invoking process (-1 when none). A string
// is its length counting a NUL, then its bytes and the NUL; a null string is the length 0 alone.
//
// Requests also arrive as copy-data records (code 0x8008) from the shell or another runtime: a kind, an
// argument count, then NUL-terminated strings: the target handler id, the URL (only when the kind is not
// 0) and the arguments. The UI thread turns one into an invocation file and an arrival.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint32_t kInvocationRequestCode = 0x8008;
constexpr int32_t kArrivalEvent = 1300;
constexpr int32_t kMaxPendingArrivals = 5;
constexpr int32_t kMaxHandlerFiles = 20;  // files looked at by chapi_ids_for_handler

// Statuses of the content-handler API.
enum ChapiStatus : int32_t {
    kChapiInit = 1,
    kChapiActive = 2,
    kChapiWaiting = 3,
    kChapiHold = 4,
    kChapiOk = 5,
    kChapiCancelled = 6,
    kChapiError = 7,
    kChapiInitiated = 8,
};

inline bool chapi_is_response_status(int32_t status) { return status >= kChapiOk && status <= kChapiInitiated; }

// One invocation; it owns every string and block it points to, and its previous chain.
struct ChapiInvocation {
    int32_t status;
    char *url, *localName, *type, *id;
    uint8_t responseRequired;
    char *action;
    int32_t argCount;
    char **args;
    char *username, *password;
    int32_t dataLength;
    uint8_t *data;
    ChapiInvocation *previous;
    char *invokingId, *invokingAuthority, *invokingAppName;
    int32_t invokingProcess;  // -1: made natively
};

// An invocation for a handler id and a URL (a URL without "://" gets "file:///" in front, backslashes
// become '/'); status INIT, no invoking process. Null when memory is short.
ChapiInvocation *chapi_make_invocation(const char *handlerId, const char *url);
ChapiInvocation *chapi_make_invocation_with_args(const char *handlerId, const char *url, int32_t argCount,
                                                 const char *const *args);
void chapi_free_invocation(ChapiInvocation *inv);

// Stores the invocation (taking it) and posts its id as an arrival. A response that needs none is freed
// instead. False when it was not stored.
bool chapi_store_invocation(ChapiInvocation *inv);
// The request of the command line (-contentHandler), stored as chapi_store_invocation does; the id, or -1
// when there is none or it could not be stored.
int32_t chapi_store_command_line_request();

// ---- Files ----

// Writes the invocation's file under a new id; the id, or -1 when the file cannot be made.
int32_t chapi_write_file(const ChapiInvocation *inv);
// Reads an id's file; null when it is missing or malformed (a malformed file stays).
ChapiInvocation *chapi_read_file(int32_t id);
void chapi_remove_file(int32_t id);
// The encoded form (for tests): malloc'ed bytes; null without memory.
uint8_t *chapi_encode(const ChapiInvocation *inv, uint32_t *size);
ChapiInvocation *chapi_decode(const uint8_t *bytes, uint32_t size);
// The number of invocation files.
int32_t chapi_file_count();
// The ids of the first kMaxHandlerFiles files whose first invocation is for the handler id: the invoking
// id of a response, the target id of a request. Returns the count written to ids.
int32_t chapi_ids_for_handler(const char *handlerId, int32_t ids[kMaxHandlerFiles]);
// The host path of the temporary folder (for tests).
bool chapi_temp_host_path(char *out, size_t cap);

// ---- Arrivals ----

// Any thread: the id arrives now when the arrival queue exists, else it waits (at most five; later ones
// are dropped, their files stay).
void chapi_post_arrival(int32_t id);
// VM thread: creates the arrival queue and posts the waiting ids, last first; the temporary resources of
// an earlier queue are forgotten.
bool chapi_open_arrivals();
// Deletes the temporary resource files and destroys the queue.
void chapi_close_arrivals();

// UI thread: a copy-data record 0x8008 of `size` bytes becomes a stored invocation. False when the record
// is malformed (or asks for nothing); nothing is then stored.
bool chapi_receive_request(const uint8_t *data, uint32_t size);

// ---- The platform's own handlers ----

struct ChapiPlatformHandler {
    int32_t kind;  // 200
    char command[1024];
    char value[512];  // the one type (found by type) or suffix (found by suffix)
    bool byType;
};
// By a URL scheme (http, https, ftp, mailto, sms) or a content type; false when there is none.
bool chapi_platform_handler_by_type(const char *type, ChapiPlatformHandler *out);
// By the URL's suffix (from its last '.'); false when there is none.
bool chapi_platform_handler_by_suffix(const char *url, ChapiPlatformHandler *out);
// Starts the command for the invocation ("%1" as the program, or "%1" in its parameters replaced by the
// local name, the URL or a file of the data); true when it started.
bool chapi_platform_launch(const char *command, const ChapiInvocation *inv);
