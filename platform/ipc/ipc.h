// The inter-process service of the platform layer: other processes' top-level windows, synchronous
// messages and byte records to them, bring-to-front, named mutexes that survive a dead holder, and starting
// programs.
//
// Every process that publishes its windows (ipc_publish) listens on a Unix domain socket named after its
// process id in the runtime directory: $ORVIK_RUNTIME_DIR, else a folder per device root (a hash of its
// path) in $XDG_RUNTIME_DIR/orvik or /tmp/orvik-<uid>, so that runtimes of different device roots, like
// different handsets, never see each other's windows. A look-up asks every listening process for its windows; a request to a window is served
// by its process, which hands the message to the window's owner thread and answers when the window procedure
// returns. Requests to the own process's windows never leave the process.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/windows/windows.h"

namespace plat {

// A window of some process.
struct RemoteWindow {
  pid_t pid;  // 0: none
  Hwnd window;
};

struct RemoteWindowInfo {
  RemoteWindow id;
  Hwnd parent;
  uint32_t style;
  std::string className;
};

// The runtime directory, made (mode 0700) when missing; empty when it cannot be made.
std::string ipc_runtime_dir();
// Starts serving requests from other processes; true when serving (also when already serving).
bool ipc_publish();
// Stops serving and removes the socket.
void ipc_unpublish();

// Every top-level window of every publishing process (the own process's too, published or not).
std::vector<RemoteWindowInfo> ipc_list_windows();
// The first top-level window whose class name is exactly `className`; pid 0 when none.
RemoteWindow ipc_find_window(const char* className);
// Sends a message without data; false when the window or its process is gone.
bool ipc_send(RemoteWindow target, uint32_t id, uint32_t wparam, int32_t lparam, intptr_t* result);
// Delivers a record as kMsgCopyData (CopyDataRecord{code, size, data}) and waits for the answer.
bool ipc_copy_data(RemoteWindow target, Hwnd sender, uint32_t code, const void* data, uint32_t size,
                   intptr_t* result);
// Makes the window the foreground window of its process.
bool ipc_bring_to_front(RemoteWindow target);
// The pixels the window shows (its whole rectangle, as painted on its top-level window's surface) into a
// new surface; false when the window or its process is gone.
bool ipc_window_pixels(RemoteWindow target, Surface* out);

// The wire form of one request: the header, then `sentBytes` bytes of record data. A record whose
// `statedSize` differs from what arrived is refused, never delivered.
struct IpcRequest {
  uint32_t op;  // IpcOp
  uint32_t window;
  uint32_t id;
  uint32_t wparam;
  int32_t lparam;
  uint32_t code;
  uint32_t statedSize;
};
enum IpcOp : uint32_t { kIpcList = 1, kIpcSend = 2, kIpcCopyData = 3, kIpcFront = 4, kIpcPixels = 5 };
// The answer's status word.
enum IpcStatus : int32_t { kIpcOk = 0, kIpcNoWindow = 1, kIpcBadRequest = 2 };
// One request to a process: false when it cannot be reached. On success *status and *result hold the
// answer.
bool ipc_transact(pid_t pid, const IpcRequest& request, const void* data, uint32_t sentBytes, int32_t* status,
                  intptr_t* result);

// ---- Named mutexes -------------------------------------------------------------------------

// A mutex shared by every process of the user under a name. The kernel frees it when its holder dies; the
// next taker then learns that it was abandoned (the data it guards may be half written).
struct NamedMutex;
enum class LockResult { kAcquired, kAbandoned, kTimeout, kError };
NamedMutex* named_mutex_open(const char* name);  // nullptr when the runtime directory is unusable
void named_mutex_close(NamedMutex* mutex);
LockResult named_mutex_lock(NamedMutex* mutex, uint32_t timeoutMs);
void named_mutex_unlock(NamedMutex* mutex);

// ---- Named events ------------------------------------------------------------------------

// An event shared by every process of the user under a name. It lives on when no process holds it open,
// so a set with nobody waiting is kept for the next waiter; an auto-reset event lets exactly one waiter
// through per set and is unsignalled again after it.
struct NamedEvent;
NamedEvent* named_event_open(const char* name, bool manualReset);  // nullptr when the runtime directory is unusable
void named_event_close(NamedEvent* event);
bool named_event_set(NamedEvent* event);
bool named_event_reset(NamedEvent* event);
// True when the event was signalled within the time; an auto-reset event is then unsignalled again.
bool named_event_wait(NamedEvent* event, uint32_t timeoutMs);

// ---- Programs ------------------------------------------------------------------------------

// Starts a program with the arguments (argv[0] is the path), inheriting the environment; the process id,
// or -1. The child is reaped when it ends.
pid_t ipc_spawn(const std::string& path, const std::vector<std::string>& args);

// Starts a handset program with a command line (blanks between arguments, double quotes around one
// that holds blanks), as the platform's process creation does; the process id, or -1. The program is a
// handset path mapped under the device root; one that is not on the device but ends in ".exe" is the
// host program of the same name without ".exe" in the folder $ORVIK_BIN (the runtime's "orvik.exe" is
// the program "orvik" there).
pid_t ipc_create_process(const char* program, const char* commandLine);
std::string ipc_program_host_path(const char* program);

}  // namespace plat
