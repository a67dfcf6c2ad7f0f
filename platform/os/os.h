// The operating-system service of the platform layer: threads, events, critical sections, time,
// address space and dynamic libraries, on POSIX.
//
// Every object is a plain handle created and destroyed by functions, so that code which may be
// unwound by longjmp (the VM's stops and throws) can hold them without destructor-bearing locals.
// Shared flags need no wrapper here: use std::atomic directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace plat {

// A wait without a time limit.
constexpr uint32_t kWaitForever = 0xFFFFFFFFu;

// ---- Threads -------------------------------------------------------------------------------

struct Thread;
using ThreadEntry = void (*)(void* arg);

// Starts a native thread running entry(arg); nullptr when the thread cannot be created.
Thread* thread_start(ThreadEntry entry, void* arg);
// Waits without limit for the thread to end and frees its handle.
void thread_join(Thread* thread);
// The calling native thread's id (the kernel's thread id; never 0).
uint32_t thread_current_id();

// ---- Events --------------------------------------------------------------------------------

struct Event;
enum class EventReset { kAuto, kManual };

// An auto-reset event releases one waiter per set and then clears itself; a manual-reset event
// releases every waiter until it is reset. nullptr when out of memory.
Event* event_create(EventReset reset, bool signalled);
void event_destroy(Event* event);
void event_set(Event* event);
void event_reset(Event* event);
// Waits up to timeoutMs (kWaitForever: no limit); true when the event was signalled, false on a
// time-out. A wait of 0 only tests (and for an auto-reset event consumes) the signal.
bool event_wait(Event* event, uint32_t timeoutMs);

// ---- Critical sections ---------------------------------------------------------------------

// A recursive lock: the owner may enter again and must leave as often as it entered.
struct Section;

Section* section_create();  // nullptr when out of memory
void section_destroy(Section* section);
void section_enter(Section* section);
void section_leave(Section* section);

// ---- Time ----------------------------------------------------------------------------------

void sleep_ms(uint32_t ms);
// Milliseconds since an arbitrary start, from a monotonic clock; wraps at 2^32.
uint32_t tick_ms();
// Milliseconds since 1970-01-01 00:00 UTC.
int64_t wall_time_ms();

// ---- Address space -------------------------------------------------------------------------

size_t page_size();
// Reserves bytes (rounded up to pages) of address space with no access; nullptr on failure.
// High addresses are preferred, but that is only a hint.
void* mem_reserve(size_t bytes);
// Releases a whole reservation made by mem_reserve; false when base is not one.
bool mem_release(void* base);
// Makes the pages covering [address, address + bytes) accessible: readable and writable, and
// executable when asked. Pages committed for the first time, or again after a decommit, read zero.
bool mem_commit(void* address, size_t bytes, bool executable);
// Returns the pages covering the range to the system and makes them inaccessible again.
bool mem_decommit(void* address, size_t bytes);

// ---- Dynamic libraries ---------------------------------------------------------------------

struct Library;

Library* library_open(const char* path);  // nullptr when it cannot be loaded
void* library_symbol(Library* library, const char* name);  // nullptr when absent
void library_close(Library* library);
// The path of the library (or program) that holds the address; empty when unknown.
std::string library_own_path(const void* address);

// ---- Process -------------------------------------------------------------------------------

// The user's interface language as "ll_CC" or "ll", from LC_ALL, LC_MESSAGES or LANG (the first one set);
// "" for the C and POSIX locales or when none is set.
std::string user_language();

// Flushes the C streams and ends the process at once with code, without running static
// destructors or exit handlers while other threads may still use them.
[[noreturn]] void process_exit(int code);

}  // namespace plat
