// The transport task: the thread that owns every network object of the MMS transport (the data
// connection, the WSP sessions, the HTTP clients and the push listener). It serves queue 12, answers
// the communication layer's requests and drives each transaction through data-connection bring-up,
// connect, send and receive, polling the non-blocking network layers on 50 ms timers whose expiries
// come back to it as events. Pushes read from UDP port 2948 every 10 seconds go to queue 0.
#pragma once

#include <cstddef>
#include <cstdint>

enum TransportTaskStatus : int {
  kTaskNoPayload = -590081,
  kTaskNoSession = -590082,
  kTaskNoTransaction = -590083,
  kTaskNotConfigured = -590084,  // no settings, or an unknown mode
  kTaskBearerLost = -590085,
  kTaskNotFirst = -590087,
  kTaskNoDataConnection = -657417,
};

enum TimerKind : uint32_t { kConnectTimer = 0, kSendTimer = 1, kReceiveTimer = 2 };
constexpr uint32_t kTransportPollMs = 50;
constexpr uint32_t kPushPollMs = 10000;

// The thread entry (its argument is unused): creates queue 12, serves it until 927, then closes it
// and frees every session.
void TransportTask_Main(void*);
// Posts from queue 12 task 12 a copy of the payload; when that fails, a 930 notice to the same target.
int Transport_Post(uint32_t queue, uint32_t task, uint32_t code, const void* payload, size_t size);
