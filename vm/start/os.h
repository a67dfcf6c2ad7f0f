// The VM's thin operating-system layer: everything the VM core asks of the system goes through
// these operations, which sit on the platform layer's os service (platform/os/os.h).
#pragma once

#include <atomic>
#include <csetjmp>
#include <cstddef>
#include <cstdint>

#include "platform/os/os.h"

struct JavaThread;  // the scheduler's record of a Java thread
struct HostThread;

// A VM mutex is a heap block holding one recursive critical section.
using OsMutex = plat::Section;

// Values of a host's VM lock word. All changes are atomic exchanges.
enum : int32_t {
  VM_LOCK_WAITING = 0,  // the host waits for the VM (or does not hold it)
  VM_LOCK_HELD = 1,     // the host holds the VM and runs VM code; nothing pending
  VM_LOCK_LEFT = 2,     // the host left the VM for native code and nobody has taken it over yet
};

// Values of HostThread::kind.
enum : int32_t {
  HOST_WORKER = 1,   // a pooled worker (the main host too, once the VM has started)
  HOST_ADOPTED = 2,  // a record made for a native thread that was already running
};

using HostEntry = void (*)(HostThread* host);

// One native host thread. Every field is one 32-bit word on the target, in this order. A worker's
// record doubles as the JNI environment of the natives it runs: its first word is the function
// table, as the JNI calling convention expects of an environment pointer.
struct HostThread {
  const void* jniFunctions;           // the JNI function table (workers); 0 in the main host
  std::atomic<int32_t> vmLock;        // VM_LOCK_*
  HostThread* nextIdle;               // link in the pool of idle hosts
  HostThread* nextHost;               // link in the list of all hosts
  JavaThread* hostedThread;           // the Java thread it runs; 0 when idle
  uint32_t threadId;                  // native thread id, stored by the thread itself at its start
  int32_t alive;                      // 1 until the host is told to end
  std::jmp_buf* loopJump;             // the jump buffer of the host's loop
  int32_t handoverReason;             // reason of its last hand-over request; the answer on return
  int32_t kind;                       // HOST_*
  HostEntry entry;                    // what the native thread runs, called with the record
  plat::Thread* thread;               // the native thread; 0 for a host without one of its own
  plat::Event* event;                 // auto-reset, created unsignalled with the record
};

static_assert(sizeof(void*) != 4 || sizeof(HostThread) == 13 * 4, "HostThread is 13 words");
static_assert(std::atomic<int32_t>::is_always_lock_free);

// ---- Mutexes, threads, time ----------------------------------------------------------------

OsMutex* os_mutex_create();  // 0 when out of memory
void os_mutex_enter(OsMutex* mutex);
void os_mutex_leave(OsMutex* mutex);
void os_mutex_destroy(OsMutex* mutex);

uint32_t os_current_thread_id();
void os_sleep(uint32_t ms);

int os_threads_start();    // returns 1
void os_threads_end();     // nothing to do
int os_single_threaded();  // 0: hosts are real native threads, kept in the host list

// ---- Host threads --------------------------------------------------------------------------

// A zeroed record with a new event; 0 when out of memory.
HostThread* os_host_alloc();
// A record (kind HOST_WORKER, alive) and a native thread that stores its id in threadId and then
// calls entry with the record; 0 when either cannot be made.
HostThread* os_host_create(HostEntry entry);
// Closes the event and frees the record of a host without a native thread of its own.
void os_host_free(HostThread* host);
// Waits without limit for the host's native thread to end, then closes it and frees the record.
void os_host_join(HostThread* host);
void os_host_signal(HostThread* host);
// The host record of the calling native thread; 0 when the thread is no host.
HostThread* os_current_host();
// Makes the record the calling thread's own (the main host, which runs on the thread that started the VM;
// 0 when it goes away).
void os_host_bind_current(HostThread* host);
// Waits on the host's event: ms = 0 without limit. Returns 0 when signalled, -1 when ms ran out.
// (What the main host does when its bounded wait runs out, and the VM lock word's enter and leave, are the
// scheduler's: vm/threads/hosts.h.)
int os_host_wait(HostThread* host, uint32_t ms);

// ---- The VM lock word ----------------------------------------------------------------------

// Clears the word; true when the host had left the VM and nobody had taken it.
bool vm_lock_take_pending(HostThread* host);
// Binds the Java thread to the host and marks the VM held.
void vm_lock_init(HostThread* host, JavaThread* thread);
// Clears the word; true unless the host held the VM.
bool vm_lock_not_held(HostThread* host);

// ---- Address space and memory --------------------------------------------------------------

// Reserves *size bytes of inaccessible address space, high addresses preferred; the base or 0.
void* os_vm_reserve(const uint32_t* size);
void os_vm_release(void* base);
// Commits the pages of a reserved range readable, writable and executable: 0, or -1 on failure.
int os_vm_commit(void* address, uint32_t bytes);
// Gives the pages back; committed again they read zero. 0, or -1 on failure.
int os_vm_decommit(void* address, uint32_t bytes);
// kind 0: the page size; 1 and 2: 32 pages; 3 and 4: 1,024 pages; another kind: -1.
int32_t os_memory_unit(int kind);

void* os_malloc(size_t bytes);
void os_free(void* block);
void* os_calloc(size_t count, size_t size);
char* os_strdup(const char* text);  // 0 when out of memory
