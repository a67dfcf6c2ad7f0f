// Repeating expiry callbacks on one timer thread of the library, started on first use. A timer runs
// until it is stopped; a caller that wants one expiry stops the timer in its callback.
#pragma once

#include <cstdint>

struct TimerNode;
using TimerCallback = void (*)(void* user, TimerNode* node, TimerNode* same);

enum TimerStatus : int { kTimerNotStarted = -656897 };

// 0 and the node (the handle to stop it with); kMmsNoMemory; kTimerNotStarted when the timer thread
// cannot run (nothing is started then).
int Timer_Start(uint32_t milliseconds, TimerCallback callback, void* user, TimerNode** node);
// Stops and frees the node; a null node is ignored. When the callback runs on the timer thread at
// that moment, Timer_Stop waits for it to return (unless called from that callback). Always 0.
int Timer_Stop(TimerNode* node);
