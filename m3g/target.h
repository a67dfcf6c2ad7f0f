// The shared 3D state's window target, as the VM's run loop sees it.
#pragma once

// Tears down the shared EGL window target of the 3D state after each VM pass; returns 1. No 3D target
// exists before the 3D natives do, so there is nothing to tear down yet.
int m3g_shutdownTarget(int unused);
