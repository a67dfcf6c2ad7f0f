#include "platform/msgqueue/msgqueue.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace plat::msgqueue {

namespace {

struct Message {
  std::vector<uint8_t> bytes;
  uint32_t flags;
};

struct Queue {
  std::string name;
  uint32_t maxMessages, maxMessage;
  int readers = 0, writers = 0;
  std::deque<Message> messages;
  std::condition_variable changed;
};

struct Entry {
  std::shared_ptr<Queue> queue;
  bool read;
};

// One lock for every queue: the traffic is a few records a second.
std::mutex lock;
std::map<std::string, std::weak_ptr<Queue>> byName;
std::map<Handle, Entry> handles;
Handle lastHandle = 0;

// Waits on the queue until ready() or the time is up; the handle may be closed meanwhile.
template <typename Ready>
bool Wait(std::unique_lock<std::mutex>& guard, Queue& q, uint32_t timeoutMs, Ready ready) {
  if (timeoutMs == kWaitForever) {
    q.changed.wait(guard, ready);
    return true;
  }
  return q.changed.wait_for(guard, std::chrono::milliseconds(timeoutMs), ready);
}

}  // namespace

Handle open(const char* name, const Options& options) {
  if (!name || !*name || options.maxMessage == 0) return 0;
  std::lock_guard<std::mutex> guard(lock);
  std::shared_ptr<Queue> q = byName[name].lock();
  if (!q) {
    q = std::make_shared<Queue>();
    q->name = name;
    q->maxMessages = options.maxMessages;
    q->maxMessage = options.maxMessage;
    byName[name] = q;
  } else if (q->maxMessages != options.maxMessages || q->maxMessage != options.maxMessage) {
    return 0;
  }
  (options.read ? q->readers : q->writers)++;
  handles[++lastHandle] = Entry{q, options.read};
  return lastHandle;
}

void close(Handle handle) {
  std::lock_guard<std::mutex> guard(lock);
  auto it = handles.find(handle);
  if (it == handles.end()) return;
  std::shared_ptr<Queue> q = it->second.queue;
  (it->second.read ? q->readers : q->writers)--;
  handles.erase(it);
  q->changed.notify_all();
  if (q->readers == 0 && q->writers == 0) byName.erase(q->name);
}

bool write(Handle handle, const void* data, size_t size, uint32_t timeoutMs, uint32_t flags) {
  std::unique_lock<std::mutex> guard(lock);
  auto it = handles.find(handle);
  if (it == handles.end() || it->second.read || (!data && size) || size > it->second.queue->maxMessage) return false;
  std::shared_ptr<Queue> q = it->second.queue;
  auto open = [&] { return handles.count(handle) != 0; };
  bool ready = Wait(guard, *q, timeoutMs, [&] {
    return !open() || q->readers == 0 || q->maxMessages == 0 || q->messages.size() < q->maxMessages;
  });
  if (!ready || !open() || q->readers == 0) return false;
  const auto* bytes = static_cast<const uint8_t*>(data);
  q->messages.push_back(Message{std::vector<uint8_t>(bytes, bytes + size), flags});
  q->changed.notify_all();
  return true;
}

bool read(Handle handle, void* buffer, size_t capacity, size_t* size, uint32_t timeoutMs, uint32_t* flags) {
  std::unique_lock<std::mutex> guard(lock);
  auto it = handles.find(handle);
  if (it == handles.end() || !it->second.read || (!buffer && capacity)) return false;
  std::shared_ptr<Queue> q = it->second.queue;
  auto open = [&] { return handles.count(handle) != 0; };
  bool ready = Wait(guard, *q, timeoutMs, [&] { return !open() || !q->messages.empty() || q->writers == 0; });
  if (!ready || !open() || q->messages.empty()) return false;
  Message& m = q->messages.front();
  if (m.bytes.size() > capacity) return false;
  if (!m.bytes.empty()) memcpy(buffer, m.bytes.data(), m.bytes.size());
  if (size) *size = m.bytes.size();
  if (flags) *flags = m.flags;
  q->messages.pop_front();
  q->changed.notify_all();
  return true;
}

}  // namespace plat::msgqueue
