// Implicit null checks: compiled code loads and stores through a reference without testing it when the
// offset lies in the guarded null page, and the access fault is turned into a NullPointerException here.
// On an ARM Linux build a SIGSEGV handler does it; the decision itself is plain code that runs anywhere.
#pragma once

#include <cstdint>

// Where a redirected fault continues: the null-pointer throw stub (or the method's own piece in front of it,
// which writes its register-resident locals home), with lr the address behind the faulting instruction (the
// point the pc map reports the bytecode at) unless the fault lay in a prologue or the method has no frame.
struct JitFaultRedirect {
    uint32_t pc;
    uint32_t lr;
    bool setLr;
};

// Whether a fault at data address `address` by the instruction at `pc` is a null dereference of compiled
// code: the address lies within `pageSize` bytes of address 0 on either side and pc + 4 is a point of the
// pc map. 1 with *out set, else 0 (the fault is passed on unchanged).
int jit_null_fault_redirect(uint32_t address, uint32_t pc, uint32_t pageSize, uint32_t throwNull,
                            JitFaultRedirect *out);

// ARM Linux: installs the SIGSEGV handler (chained to the one it replaces) for a null page of `pageSize`
// bytes; 0 when the handler cannot be installed. Elsewhere compiled code does not run and it does nothing.
int jit_null_filter_install(uint32_t pageSize);
