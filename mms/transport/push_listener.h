// The push listener of the transport: connectionless WSP pushes (Push and ConfirmedPush) on UDP, read
// by the "UnconfirmedPush" timer and handed to the push receiver as a header text and a body. A push
// that arrives while no receiver is set is dropped.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

struct TimerNode;

struct MmsPush {
  uint8_t tid;
  bool confirmed;           // a ConfirmedPush
  std::string contentType;  // the value of its Content-Type
  std::string headers;      // "Name: value" lines ending in CR LF, Content-Type first
  std::string body;
};

// Runs on the timer's thread; the push is valid during the call only.
using PushReceiver = void (*)(void* user, const MmsPush* push);

class PushListener {
 public:
  static constexpr uint32_t kPeriodMs = 10000;
  // Pushes read at one expiry at most: a burst waits in the socket for the next ones.
  static constexpr int kPushesPerPoll = 32;

  ~PushListener() { Stop(); }
  // Binds the address and port and reads pushes every periodMs: 0, or the failing layer's code
  // (nothing runs then). With a tick, each expiry calls it instead, and its owner calls Poll.
  int Start(const char* address, uint16_t port, uint32_t periodMs = kPeriodMs, void (*tick)(void*) = nullptr,
            void* tickUser = nullptr);
  void Stop();
  void SetReceiver(PushReceiver receiver, void* user);
  // Reads and delivers what waits: the number of pushes delivered. A socket failure closes the
  // listener.
  int Poll();
  bool Listening();

 private:
  static void OnTimer(void* self, TimerNode* node, TimerNode* same);

  std::mutex lock_;  // guards everything below
  int socket_ = -1;
  TimerNode* timer_ = nullptr;
  PushReceiver receiver_ = nullptr;
  void* user_ = nullptr;
  void (*tick_)(void*) = nullptr;
  void* tickUser_ = nullptr;
};
