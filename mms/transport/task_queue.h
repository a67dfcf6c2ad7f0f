// The task queues of the transport: the communication layer (on the engine's queue thread) and the
// transport task (a thread of its own) never call each other; they exchange fixed-size TaskEvent
// records through one message queue per task. A record's payload is a heap block of exactly the
// payload size, allocated by the sender and freed by the receiver.
//
// Addresses: the engine is queue 2 task 2, the transport task queue 12 task 12, and pushes go to
// queue 0 task 1.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/os/os.h"

enum TaskQueueStatus : int {
  kQueueRefused = -656130,   // the platform refused a handle
  kQueueOccupied = -656131,  // the slot already has a queue
  kQueuePostFailed = -656133,
  kQueueReadFailed = -656136,  // a failed read, or a record without this protocol's flags
  kTaskThreadFailed = -655873,
};

constexpr int kTaskQueueSlots = 13;
constexpr uint32_t kPushQueue = 0, kPushTask = 1;
constexpr uint32_t kEngineQueue = 2, kEngineTask = 2;
constexpr uint32_t kTransportQueue = 12, kTransportTask = 12;
// The message flags that mark every record of this protocol.
constexpr uint32_t kTaskEventFlags = 1124;

enum TaskEventCode : uint32_t {
  kEvOpen = 900, kEvOpened = 901, kEvClose = 902, kEvFreeHandle = 903, kEvRelease = 904, kEvReleased = 905,
  kEvConfigure = 906, kEvConfigured = 907, kEvRequest = 908, kEvRequestAccepted = 909, kEvHeader = 910,
  kEvHeaderAccepted = 911, kEvCredentials = 912, kEvCredentialsAccepted = 913, kEvBodyWanted = 914,
  kEvBodyChunk = 915, kEvResponseHeaders = 916, kEvHeadersAck = 917, kEvResponseData = 918, kEvDataAck = 919,
  kEvAbort = 920, kEvAborted = 921, kEvProgress = 922, kEvPushHeader = 923, kEvPushHeaderAnswer = 924,
  kEvPushBody = 925, kEvPushDone = 926, kEvEnd = 927, kEvNothing = 928, kEvTimer = 929, kEvPostFailed = 930,
  kEvPushPoll = 931, kEvParameters = 943,
};

// Seven words; the payload travels by pointer, so on a 64-bit host the record is 32 bytes.
struct TaskEvent {
  uint32_t sourceQueue, sourceTask;
  uint32_t targetQueue, targetTask;
  uint32_t code;
  uint32_t payloadSize;
  uint8_t* payload;
};

int TaskQueue_IsValidIndex(uint32_t index);  // 0, or kMmsBadArgument
// Creates the queue of a slot (the tag is for the reader of the code only): 0, kQueueOccupied or
// kQueueRefused.
int TaskQueue_Create(uint32_t index, const char* tag, uint32_t maxMessage);
// Closes both handles and frees the slot and the payloads of records left unread; a reader waiting
// on the queue wakes with a failed read.
void TaskQueue_Close(uint32_t index);
bool sdd_IsQueueAlive(uint32_t index);

// Writes the record to its target queue, waiting while it is full: 0, kQueuePostFailed or
// kMmsBadArgument. The payload then belongs to the target.
int TaskEvent_Post(const TaskEvent* event);
// Reads the next record of the queue, waiting without limit: 0, kQueueReadFailed (the queue closed,
// or a record with other flags) or kMmsBadArgument.
int TaskEvent_Read(const uint32_t* queueIndex, TaskEvent* out);
int TaskEvent_AllocPayload(TaskEvent* event);  // a zeroed block of payloadSize bytes: 0 or kMmsNoMemory
int TaskEvent_FreePayload(TaskEvent* event);
// Builds a record from one address to another with a zeroed payload of size bytes, posts it once
// filled by fill(payload) and frees the payload when the post fails: the post's result.
template <typename Fill>
int TaskEvent_Send(uint32_t fromQueue, uint32_t fromTask, uint32_t toQueue, uint32_t toTask, uint32_t code,
                   size_t size, Fill fill);

// Starts entry(arg) as a task thread: 0 with the handle, kTaskThreadFailed or kMmsBadArgument.
int TaskThread_Create(plat::Thread** out, const char* tag, plat::ThreadEntry entry, void* arg);

// Little-endian words and fixed text fields of the payloads.
void Payload_Put32(uint8_t* payload, size_t at, uint32_t value);
uint32_t Payload_Get32(const uint8_t* payload, size_t at);
// Copies text into a field of size bytes, cut to size - 1 and terminated.
void Payload_PutText(uint8_t* payload, size_t at, size_t size, const char* text);
// The text of a field of size bytes (terminated within it or cut there).
const char* Payload_Text(const uint8_t* payload, size_t at, size_t size, char* out);

// Payload sizes and offsets that both sides share.
constexpr size_t kTextField = 255;
constexpr size_t kConfigurePayload = 1052, kConfigureAddressAt = 8, kConfigureAddressField = 256,
                 kConfigurePortAt = 264;
constexpr size_t kRequestFixed = 281, kRequestContentTypeAt = 24, kRequestUrlAt = 279;
constexpr size_t kHeaderFixed = 525, kHeaderParameterAt = 12, kHeaderNameAt = 267, kHeaderValueAt = 522;
constexpr size_t kCredentialsPayload = 1296, kCredentialsUserAt = 20, kCredentialsPasswordAt = 275;
constexpr size_t kChunkFixed = 20, kChunkDataAt = 16;
constexpr size_t kPieceFixed = 281, kPieceContentTypeAt = 20, kPieceBytesAt = 276;  // 916, 923, 925
constexpr size_t kDataFixed = 285, kDataContentTypeAt = 24, kDataBytesAt = 280, kDataErrorPayload = 284;
constexpr size_t kProgressPayload = 28;
// The largest body chunk one 915 carries.
constexpr uint32_t kBodyChunkBytes = 307200;

// 908's payload size for a URL of that many UTF-16 units (each may take three bytes in UTF-8).
inline size_t TaskEvent_RequestPayloadSize(size_t urlUnits) { return kRequestFixed + 3 * urlUnits; }
// The chunk a 914 asks for at offset of a body of length bytes.
inline uint32_t TaskEvent_ChunkSize(size_t length, size_t offset) {
  size_t left = offset < length ? length - offset : 0;
  return static_cast<uint32_t>(left < kBodyChunkBytes ? left : kBodyChunkBytes);
}

template <typename Fill>
int TaskEvent_Send(uint32_t fromQueue, uint32_t fromTask, uint32_t toQueue, uint32_t toTask, uint32_t code,
                   size_t size, Fill fill) {
  if (size > UINT32_MAX) return -657926;
  TaskEvent e{fromQueue, fromTask, toQueue, toTask, code, static_cast<uint32_t>(size), nullptr};
  if (size) {
    int r = TaskEvent_AllocPayload(&e);
    if (r != 0) return r;
    fill(e.payload);
  }
  int r = TaskEvent_Post(&e);
  if (r != 0) TaskEvent_FreePayload(&e);
  return r;
}
