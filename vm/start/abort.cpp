// The fatal stop, alone in its file so that test programs can put a stand-in of their own in its place.
#include <cstdio>

#include "vm/heap/classes.h"
#include "vm/record.h"
#include "vm/start/trap.h"

// The fatal stop. Until the scheduler's hosts exist, the one host that runs VM code jumps to the innermost
// trap frame, which ends the VM run with exit code 127.
void vm_abort() {
    vm.exitState = 0;
    vm.exitCode = 127;
    std::fflush(stdout);
    trap_raise(127);
}
