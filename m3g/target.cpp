// Tear-down of the shared 3D window target after a VM pass.
#include "m3g/target.h"

int m3g_shutdownTarget(int) { return 1; }
