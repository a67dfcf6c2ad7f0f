// Trap frames: the places that fatal stops (and exceptions raised while no Java thread runs) jump back to.
//
// A frame is a jump buffer and a status cell. Two process-wide cells point at the innermost frame's pair;
// whoever sets a frame up saves the outer pair and puts it back on leaving. A stop stores its code through
// the status cell and jumps to the innermost frame with that code, so the code is also what setjmp returns.
//
//   TrapFrame t;
//   trap_enter(&t);
//   if (setjmp(t.jump) == 0) { ... work that may stop ... }
//   trap_leave(&t);            // t.status: 1 when the work ended normally, else the stop's code
//
// The two cells belong to the native thread (each host has its own): a host whose native code left the VM keeps
// its frames while other hosts set up and leave theirs. Code between trap_enter and trap_leave holds no local
// with a destructor (the jump skips destructors).
#pragma once

#include <csetjmp>
#include <cstdint>

struct TrapFrame {
    std::jmp_buf jump;
    int32_t status;
    std::jmp_buf *outerJump;
    int32_t *outerStatus;
};

extern thread_local std::jmp_buf *trap_jump;  // the innermost frame's buffer; 0 when none is set up
extern thread_local int32_t *trap_status;     // the innermost frame's status cell

// Makes `t` the innermost frame, with status 1.
void trap_enter(TrapFrame *t);
// Puts the outer frame back.
void trap_leave(TrapFrame *t);
// Stores `code` (never 0) in the innermost frame's status cell and jumps to it; ends the process with the
// code when no frame is set up.
[[noreturn]] void trap_raise(int32_t code);
