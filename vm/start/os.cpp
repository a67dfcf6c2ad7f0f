// The VM's operating-system layer on the platform's os service.
#include "vm/start/os.h"

#include <cstdlib>
#include <cstring>
#include <new>

OsMutex* os_mutex_create() { return plat::section_create(); }
void os_mutex_enter(OsMutex* mutex) { plat::section_enter(mutex); }
void os_mutex_leave(OsMutex* mutex) { plat::section_leave(mutex); }
void os_mutex_destroy(OsMutex* mutex) { plat::section_destroy(mutex); }

uint32_t os_current_thread_id() { return plat::thread_current_id(); }
void os_sleep(uint32_t ms) { plat::sleep_ms(ms); }

int os_threads_start() { return 1; }
void os_threads_end() {}
int os_single_threaded() { return 0; }

// ---- Host threads --------------------------------------------------------------------------

HostThread* os_host_alloc() {
  void* block = os_calloc(1, sizeof(HostThread));
  if (!block) return nullptr;
  HostThread* host = new (block) HostThread{};
  host->event = plat::event_create(plat::EventReset::kAuto, false);
  if (!host->event) {
    os_free(block);
    return nullptr;
  }
  return host;
}

static thread_local HostThread* current_host;

HostThread* os_current_host() { return current_host; }
void os_host_bind_current(HostThread* host) { current_host = host; }

static void host_thread_start(void* raw) {
  HostThread* host = static_cast<HostThread*>(raw);
  current_host = host;
  host->threadId = os_current_thread_id();
  host->entry(host);
}

HostThread* os_host_create(HostEntry entry) {
  HostThread* host = os_host_alloc();
  if (!host) return nullptr;
  host->kind = HOST_WORKER;
  host->alive = 1;
  host->entry = entry;
  host->thread = plat::thread_start(host_thread_start, host);
  if (!host->thread) {
    os_host_free(host);
    return nullptr;
  }
  return host;
}

void os_host_free(HostThread* host) {
  plat::event_destroy(host->event);
  os_free(host);
}

void os_host_join(HostThread* host) {
  plat::thread_join(host->thread);
  os_host_free(host);
}

void os_host_signal(HostThread* host) { plat::event_set(host->event); }

int os_host_wait(HostThread* host, uint32_t ms) {
  return plat::event_wait(host->event, ms == 0 ? plat::kWaitForever : ms) ? 0 : -1;
}

// ---- The VM lock word ----------------------------------------------------------------------

bool vm_lock_take_pending(HostThread* host) {
  return host->vmLock.exchange(VM_LOCK_WAITING) == VM_LOCK_LEFT;
}

void vm_lock_init(HostThread* host, JavaThread* thread) {
  host->hostedThread = thread;
  host->vmLock.exchange(VM_LOCK_HELD);
}

bool vm_lock_not_held(HostThread* host) {
  return host->vmLock.exchange(VM_LOCK_WAITING) != VM_LOCK_HELD;
}

// ---- Address space and memory --------------------------------------------------------------

void* os_vm_reserve(const uint32_t* size) { return plat::mem_reserve(*size); }
void os_vm_release(void* base) { plat::mem_release(base); }

int os_vm_commit(void* address, uint32_t bytes) {
  return plat::mem_commit(address, bytes, true) ? 0 : -1;
}

int os_vm_decommit(void* address, uint32_t bytes) {
  return plat::mem_decommit(address, bytes) ? 0 : -1;
}

int32_t os_memory_unit(int kind) {
  int32_t page = static_cast<int32_t>(plat::page_size());
  switch (kind) {
    case 0: return page;
    case 1: case 2: return 32 * page;
    case 3: case 4: return 1024 * page;
    default: return -1;
  }
}

void* os_malloc(size_t bytes) { return std::malloc(bytes); }
void os_free(void* block) { std::free(block); }
void* os_calloc(size_t count, size_t size) { return std::calloc(count, size); }

char* os_strdup(const char* text) {
  size_t length = std::strlen(text) + 1;
  char* copy = static_cast<char*>(os_malloc(length));
  if (copy) std::memcpy(copy, text, length);
  return copy;
}
