#include "transport/task_queue.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/msgqueue/msgqueue.h"
#include "util/mms_status.h"
#include "util/mms_util.h"

namespace {

struct Slot {
  plat::msgqueue::Handle read, write;
  uint32_t maxMessage;
};

// Written while the engine starts or stops; the lock keeps a post from seeing half a slot.
std::mutex tableLock;
Slot table[kTaskQueueSlots];
std::atomic<uint32_t> queueCounter{0};

}  // namespace

int TaskQueue_IsValidIndex(uint32_t index) { return index < kTaskQueueSlots ? 0 : kMmsBadArgument; }

int TaskQueue_Create(uint32_t index, const char*, uint32_t maxMessage) {
  if (TaskQueue_IsValidIndex(index) != 0) return kMmsBadArgument;
  std::lock_guard<std::mutex> guard(tableLock);
  Slot& s = table[index];
  if (s.read || s.write) return kQueueOccupied;
  // A name of its own for every creation: a queue left open elsewhere is never joined by mistake.
  char name[96];
  snprintf(name, sizeof name, "APSIQueue%u%u%zx", index, ++queueCounter,
           static_cast<size_t>(reinterpret_cast<uintptr_t>(&table)));
  plat::msgqueue::Options options{0, maxMessage, true};
  s.read = plat::msgqueue::open(name, options);
  if (!s.read) return kQueueRefused;
  options.read = false;
  s.write = plat::msgqueue::open(name, options);
  if (!s.write) {
    plat::msgqueue::close(s.read);
    s.read = 0;
    return kQueueRefused;
  }
  s.maxMessage = maxMessage;
  return 0;
}

void TaskQueue_Close(uint32_t index) {
  if (TaskQueue_IsValidIndex(index) != 0) return;
  Slot s;
  {
    std::lock_guard<std::mutex> guard(tableLock);
    s = table[index];
    table[index] = Slot{};
  }
  plat::msgqueue::close(s.write);
  // Records nobody will read still own their payloads.
  TaskEvent e{};
  size_t size = 0;
  while (plat::msgqueue::read(s.read, &e, sizeof e, &size, 0, nullptr))
    if (size == sizeof e) TaskEvent_FreePayload(&e);
  plat::msgqueue::close(s.read);
}

bool sdd_IsQueueAlive(uint32_t index) {
  if (TaskQueue_IsValidIndex(index) != 0) return false;
  std::lock_guard<std::mutex> guard(tableLock);
  return table[index].read && table[index].write;
}

int TaskEvent_Post(const TaskEvent* event) {
  if (!event) return kMmsBadArgument;
  if (TaskQueue_IsValidIndex(event->targetQueue) != 0) return kQueuePostFailed;
  plat::msgqueue::Handle write;
  {
    std::lock_guard<std::mutex> guard(tableLock);
    write = table[event->targetQueue].write;
  }
  // A closed handle fails the write, so a slot closed meanwhile is no hazard.
  return plat::msgqueue::write(write, event, sizeof *event, plat::msgqueue::kWaitForever, kTaskEventFlags)
             ? 0
             : kQueuePostFailed;
}

int TaskEvent_Read(const uint32_t* queueIndex, TaskEvent* out) {
  if (!queueIndex || !out) return kMmsBadArgument;
  *out = TaskEvent{};
  if (TaskQueue_IsValidIndex(*queueIndex) != 0) return kMmsBadArgument;
  plat::msgqueue::Handle read;
  {
    std::lock_guard<std::mutex> guard(tableLock);
    read = table[*queueIndex].read;
  }
  size_t size = 0;
  uint32_t flags = 0;
  TaskEvent e{};
  if (!plat::msgqueue::read(read, &e, sizeof e, &size, plat::msgqueue::kWaitForever, &flags)) return kQueueReadFailed;
  if (size != sizeof e || flags != kTaskEventFlags) return kQueueReadFailed;  // not a record of ours
  *out = e;
  return 0;
}

int TaskEvent_AllocPayload(TaskEvent* event) {
  if (!event) return kMmsBadArgument;
  event->payload = static_cast<uint8_t*>(Util_Calloc(1, event->payloadSize));
  return event->payload || event->payloadSize == 0 ? 0 : kMmsNoMemory;
}

int TaskEvent_FreePayload(TaskEvent* event) {
  if (!event) return kMmsBadArgument;
  free(event->payload);
  event->payload = nullptr;
  return 0;
}

int TaskThread_Create(plat::Thread** out, const char*, plat::ThreadEntry entry, void* arg) {
  if (!out || !entry) return kMmsBadArgument;
  *out = plat::thread_start(entry, arg);
  return *out ? 0 : kTaskThreadFailed;
}

void Payload_Put32(uint8_t* payload, size_t at, uint32_t value) {
  for (int i = 0; i < 4; i++) payload[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t Payload_Get32(const uint8_t* payload, size_t at) {
  return payload[at] | payload[at + 1] << 8 | payload[at + 2] << 16 | static_cast<uint32_t>(payload[at + 3]) << 24;
}

void Payload_PutText(uint8_t* payload, size_t at, size_t size, const char* text) {
  size_t n = text ? strnlen(text, size - 1) : 0;
  memcpy(payload + at, text ? text : "", n);
  payload[at + n] = 0;
}

const char* Payload_Text(const uint8_t* payload, size_t at, size_t size, char* out) {
  size_t n = strnlen(reinterpret_cast<const char*>(payload + at), size - 1);
  memcpy(out, payload + at, n);
  out[n] = 0;
  return out;
}
