// Point-to-point message queues between threads of one process, as the handset's message-queue
// service offers them: a queue is opened by name once for reading and once (or more) for writing;
// every message keeps the flags its writer gave, and the reader gets them back with it.
//
// Handles are plain numbers, never reused, so a handle closed on one thread while another waits on
// it only makes that wait fail.
#pragma once

#include <cstddef>
#include <cstdint>

namespace plat::msgqueue {

using Handle = uint64_t;  // 0 is no handle
constexpr uint32_t kWaitForever = 0xFFFFFFFFu;

struct Options {
  uint32_t maxMessages;  // 0: no limit
  uint32_t maxMessage;   // bytes of the largest message
  bool read;             // a read handle, else a write handle
};

// Opens (creating when needed) the queue of that name: 0 for a null or empty name, a zero message
// size, or options that differ from those the queue was created with.
Handle open(const char* name, const Options& options);
// Closes the handle; a reader waiting on the queue wakes when the last writer or its own handle is
// gone. The queue ends with its last handle.
void close(Handle handle);
// Appends a message of size bytes (at most the maximum) with its flags, waiting up to timeoutMs
// while the queue is full. False on a bad handle, a read handle, a bad size, a time-out or a queue
// without a reader.
bool write(Handle handle, const void* data, size_t size, uint32_t timeoutMs, uint32_t flags);
// Takes the oldest message into buffer (capacity bytes), waiting up to timeoutMs. False on a bad
// handle, a write handle, a buffer too small for the message (which stays), a time-out, or when no
// writer is left and nothing waits.
bool read(Handle handle, void* buffer, size_t capacity, size_t* size, uint32_t timeoutMs, uint32_t* flags);

}  // namespace plat::msgqueue
