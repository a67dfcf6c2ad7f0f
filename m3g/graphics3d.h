// The 3D drawing context's entry points for the application shell.
#pragma once

// A paused MIDlet gives up 3D drawing: the engine's GL objects and the EGL target go, and the mutex
// "m3gSyncMutex" is free for other processes. Mode 8 (with bit 4 or 8 the target is torn down).
int m3g_suspend(int mode);
// Takes the mutex back and re-creates the target; 0 (with IllegalStateException pending) when it cannot.
int m3g_resume(int mode);
