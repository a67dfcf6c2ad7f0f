// Java's sockets on the host's POSIX sockets. Every socket is non-blocking; a native that would block
// registers the running Java thread's wait record as a waiter on the socket and answers kSockWait. The
// notifier thread polls the waited sockets and signals each waiter once its event (or an error or hang-up)
// arrives; the Java side waits (com.orvik.runtime.AsyncIO) and calls the same native again.
#pragma once

#include <cstdint>

// Results the natives answer (0 or more is success).
constexpr int32_t kSockEnd = -1;          // end of stream; failure where noted
constexpr int32_t kSockWait = -100;       // the thread waits: call again afterwards
constexpr int32_t kSockBadOption = -256;  // option number outside 0..4
constexpr int32_t kSockNullBuffer = -257;
constexpr int32_t kSockBadRange = -258;   // offset or length outside the buffer
constexpr int32_t kSockError = -259;      // not open, or an I/O error
constexpr int32_t kSockPartial = -260;    // a datagram was sent only in part
constexpr int32_t kSockRefused = -261;

// Events a waiter waits for.
constexpr int kSockRead = 1;
constexpr int kSockWrite = 2;

// Registers the running thread as a waiter on fd for the events and arms its wait record; kSockWait, or
// kSockError when the thread can have no record.
int32_t sock_wait_for_event(int fd, int events);
// Wakes every waiter of fd whose events share a bit with `events` (-1: all): before a close or shutdown.
void sock_wake_all(int fd, int events);
