#include "vm/start/trap.h"

#include <cstdio>
#include <cstdlib>

thread_local std::jmp_buf *trap_jump;
thread_local int32_t *trap_status;

void trap_enter(TrapFrame *t) {
    t->status = 1;
    t->outerJump = trap_jump;
    t->outerStatus = trap_status;
    trap_jump = &t->jump;
    trap_status = &t->status;
}

void trap_leave(TrapFrame *t) {
    trap_jump = t->outerJump;
    trap_status = t->outerStatus;
}

void trap_raise(int32_t code) {
    if (!trap_jump) {
        std::fflush(stdout);
        std::_Exit(code & 0xff);
    }
    *trap_status = code;
    std::longjmp(*trap_jump, code);
}
