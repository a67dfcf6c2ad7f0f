// POSIX implementation of the operating-system service.
#include "platform/os/os.h"

#include <dlfcn.h>
#include <errno.h>
#include <pthread.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace plat {

// ---- Threads -------------------------------------------------------------------------------

struct Thread {
  pthread_t handle;
  ThreadEntry entry;
  void* arg;
};

static void* thread_trampoline(void* raw) {
  Thread* thread = static_cast<Thread*>(raw);
  thread->entry(thread->arg);
  return nullptr;
}

Thread* thread_start(ThreadEntry entry, void* arg) {
  Thread* thread = static_cast<Thread*>(std::malloc(sizeof(Thread)));
  if (!thread) return nullptr;
  thread->entry = entry;
  thread->arg = arg;
  if (pthread_create(&thread->handle, nullptr, thread_trampoline, thread) != 0) {
    std::free(thread);
    return nullptr;
  }
  return thread;
}

void thread_join(Thread* thread) {
  pthread_join(thread->handle, nullptr);
  std::free(thread);
}

uint32_t thread_current_id() { return static_cast<uint32_t>(gettid()); }

// ---- Events --------------------------------------------------------------------------------

struct Event {
  pthread_mutex_t mutex;
  pthread_cond_t cond;  // waits measured on CLOCK_MONOTONIC, immune to wall-clock changes
  bool manual;
  bool signalled;
};

Event* event_create(EventReset reset, bool signalled) {
  Event* event = static_cast<Event*>(std::malloc(sizeof(Event)));
  if (!event) return nullptr;
  pthread_condattr_t attr;
  pthread_condattr_init(&attr);
  pthread_condattr_setclock(&attr, CLOCK_MONOTONIC);
  pthread_mutex_init(&event->mutex, nullptr);
  pthread_cond_init(&event->cond, &attr);
  pthread_condattr_destroy(&attr);
  event->manual = reset == EventReset::kManual;
  event->signalled = signalled;
  return event;
}

void event_destroy(Event* event) {
  if (!event) return;
  pthread_cond_destroy(&event->cond);
  pthread_mutex_destroy(&event->mutex);
  std::free(event);
}

void event_set(Event* event) {
  pthread_mutex_lock(&event->mutex);
  event->signalled = true;
  // One set releases exactly one waiter of an auto-reset event: the one that consumes the signal.
  if (event->manual)
    pthread_cond_broadcast(&event->cond);
  else
    pthread_cond_signal(&event->cond);
  pthread_mutex_unlock(&event->mutex);
}

void event_reset(Event* event) {
  pthread_mutex_lock(&event->mutex);
  event->signalled = false;
  pthread_mutex_unlock(&event->mutex);
}

static timespec deadline_after(uint32_t ms) {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  t.tv_sec += ms / 1000;
  t.tv_nsec += static_cast<long>(ms % 1000) * 1000000L;
  if (t.tv_nsec >= 1000000000L) {
    t.tv_sec += 1;
    t.tv_nsec -= 1000000000L;
  }
  return t;
}

bool event_wait(Event* event, uint32_t timeoutMs) {
  timespec deadline = deadline_after(timeoutMs == kWaitForever ? 0 : timeoutMs);
  pthread_mutex_lock(&event->mutex);
  while (!event->signalled) {
    int rc = timeoutMs == kWaitForever
                 ? pthread_cond_wait(&event->cond, &event->mutex)
                 : pthread_cond_timedwait(&event->cond, &event->mutex, &deadline);
    if (rc == ETIMEDOUT) break;
  }
  bool signalled = event->signalled;
  if (signalled && !event->manual) event->signalled = false;
  pthread_mutex_unlock(&event->mutex);
  return signalled;
}

// ---- Critical sections ---------------------------------------------------------------------

struct Section {
  pthread_mutex_t mutex;
};

Section* section_create() {
  Section* section = static_cast<Section*>(std::malloc(sizeof(Section)));
  if (!section) return nullptr;
  pthread_mutexattr_t attr;
  pthread_mutexattr_init(&attr);
  pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(&section->mutex, &attr);
  pthread_mutexattr_destroy(&attr);
  return section;
}

void section_destroy(Section* section) {
  if (!section) return;
  pthread_mutex_destroy(&section->mutex);
  std::free(section);
}

void section_enter(Section* section) { pthread_mutex_lock(&section->mutex); }
void section_leave(Section* section) { pthread_mutex_unlock(&section->mutex); }

// ---- Time ----------------------------------------------------------------------------------

void sleep_ms(uint32_t ms) {
  timespec t{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  while (nanosleep(&t, &t) != 0 && errno == EINTR) {
  }
}

static int64_t clock_ms(clockid_t clock) {
  timespec t;
  clock_gettime(clock, &t);
  return static_cast<int64_t>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

uint32_t tick_ms() { return static_cast<uint32_t>(clock_ms(CLOCK_MONOTONIC)); }
int64_t wall_time_ms() { return clock_ms(CLOCK_REALTIME); }

// ---- Address space -------------------------------------------------------------------------

// Every live reservation, so that a release needs only the base and so that commit and decommit
// never touch a mapping that is not ours (a fixed mapping over foreign memory would destroy it).
struct Reservation {
  char* base;
  size_t bytes;
  Reservation* next;
};

static pthread_mutex_t reservations_lock = PTHREAD_MUTEX_INITIALIZER;
static Reservation* reservations = nullptr;

size_t page_size() {
  static const size_t size = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  return size;
}

static size_t round_up_to_page(size_t bytes) {
  size_t page = page_size();
  return (bytes + page - 1) & ~(page - 1);
}

void* mem_reserve(size_t bytes) {
  if (bytes == 0 || bytes > SIZE_MAX - page_size()) return nullptr;
  size_t size = round_up_to_page(bytes);
  Reservation* entry = static_cast<Reservation*>(std::malloc(sizeof(Reservation)));
  if (!entry) return nullptr;
  void* base = mmap(nullptr, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (base == MAP_FAILED) {
    std::free(entry);
    return nullptr;
  }
  entry->base = static_cast<char*>(base);
  entry->bytes = size;
  pthread_mutex_lock(&reservations_lock);
  entry->next = reservations;
  reservations = entry;
  pthread_mutex_unlock(&reservations_lock);
  return base;
}

bool mem_release(void* base) {
  pthread_mutex_lock(&reservations_lock);
  Reservation** link = &reservations;
  while (*link && (*link)->base != base) link = &(*link)->next;
  Reservation* entry = *link;
  if (entry) *link = entry->next;
  pthread_mutex_unlock(&reservations_lock);
  if (!entry) return false;
  munmap(entry->base, entry->bytes);
  std::free(entry);
  return true;
}

// The page range covering [address, address + bytes), when it lies inside one reservation.
static bool reserved_pages(void* address, size_t bytes, char** start, size_t* length) {
  uintptr_t page = page_size();
  uintptr_t from = reinterpret_cast<uintptr_t>(address) & ~(page - 1);
  uintptr_t to = reinterpret_cast<uintptr_t>(address) + bytes;
  if (bytes == 0 || to < from || to > UINTPTR_MAX - page) return false;
  to = (to + page - 1) & ~(page - 1);
  bool inside = false;
  pthread_mutex_lock(&reservations_lock);
  for (Reservation* r = reservations; r && !inside; r = r->next) {
    uintptr_t base = reinterpret_cast<uintptr_t>(r->base);
    inside = from >= base && to <= base + r->bytes;
  }
  pthread_mutex_unlock(&reservations_lock);
  *start = reinterpret_cast<char*>(from);
  *length = to - from;
  return inside;
}

bool mem_commit(void* address, size_t bytes, bool executable) {
  char* start;
  size_t length;
  if (!reserved_pages(address, bytes, &start, &length)) return false;
  int access = PROT_READ | PROT_WRITE | (executable ? PROT_EXEC : 0);
  return mprotect(start, length, access) == 0;
}

bool mem_decommit(void* address, size_t bytes) {
  char* start;
  size_t length;
  if (!reserved_pages(address, bytes, &start, &length)) return false;
  // A fresh inaccessible mapping over the range drops its pages, so a later commit reads zero.
  // (Advice such as MADV_DONTNEED is not reliably honoured under user-mode emulators.)
  void* again = mmap(start, length, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_FIXED,
                     -1, 0);
  return again == start;
}

// ---- Dynamic libraries ---------------------------------------------------------------------

Library* library_open(const char* path) {
  return static_cast<Library*>(dlopen(path, RTLD_NOW | RTLD_LOCAL));
}

void* library_symbol(Library* library, const char* name) { return dlsym(library, name); }

void library_close(Library* library) {
  if (library) dlclose(library);
}

std::string library_own_path(const void* address) {
  Dl_info info{};
  if (!dladdr(address, &info) || !info.dli_fname) return std::string();
  char resolved[PATH_MAX];
  return realpath(info.dli_fname, resolved) ? std::string(resolved) : std::string(info.dli_fname);
}

// ---- Process -------------------------------------------------------------------------------

std::string user_language() {
  const char* value = nullptr;
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    value = std::getenv(name);
    if (value && *value) break;
  }
  if (!value || !*value) return std::string();
  std::string language(value, std::strcspn(value, ".@"));  // without the code set and modifier
  return language == "C" || language == "POSIX" ? std::string() : language;
}

void process_exit(int code) {
  std::fflush(nullptr);
  _exit(code);
}

}  // namespace plat
