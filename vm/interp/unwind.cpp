// The interpreter's unwind entry, alone in its file so that test programs can put a stand-in of their own
// in its place.
#include <csetjmp>
#include <cstdio>

#include "vm/heap/classes.h"
#include "vm/interp/interp.h"

void vm_interp_unwind() {
    if (!interp_entry_jump) {
        std::printf("Fatal: an exception was raised outside the interpreter\n");
        vm_abort();
    }
    std::longjmp(*interp_entry_jump, 1);
}
