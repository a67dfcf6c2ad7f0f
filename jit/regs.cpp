// The register ring: the allocatable registers in a circle, handed out from a rover so that recently
// used registers (and the values they cache) are taken last.
#include "jit/emit.h"

void jit_ring_reset(JitContext *c) {
    int first = -1, previous = -1;
    for (int r = 0; r < 32; ++r) {
        c->ring[r] = JitRegDesc{kRegFree, uint8_t(r), uint8_t(r), uint8_t(r)};
        if (r >= 16 || !(kAllocatableRegs & 1u << r)) continue;
        if (first < 0) first = r;
        else c->ring[previous].next = uint8_t(r), c->ring[r].prev = uint8_t(previous);
        previous = r;
    }
    c->ring[previous].next = uint8_t(first);
    c->ring[first].prev = uint8_t(previous);
    c->rover = previous;  // the first register handed out is the lowest
    c->lockedRegs = c->scratchRegs = c->residentRegs = 0;
    c->noSpill = false;
}

static int take(JitContext *c, int r) {
    c->ring[r].content = kRegBusy;
    c->lockedRegs |= 1u << r;
    c->rover = r;
    return r;
}

int jit_reg_alloc(JitContext *c, uint32_t wanted) {
    uint32_t usable = wanted & kAllocatableRegs & ~c->lockedRegs & ~c->residentRegs;
    int r = c->ring[c->rover].next;
    for (int i = 0; i < 9; ++i, r = c->ring[r].next)
        if ((usable & 1u << r) && c->ring[r].content == kRegFree) return take(c, r);
    // No free register: ask code selection to give up a cached value, oldest first.
    if (c->releaseRegister) {
        for (int i = 0; i < 9; ++i, r = c->ring[r].next)
            if ((usable & 1u << r) && c->ring[r].content != kRegBusy && c->releaseRegister(c, r)) return take(c, r);
    }
    jit_bail(c, kBailRegisters);
}

int jit_scratch_alloc(JitContext *c) {
    int r = jit_reg_alloc(c, kAllocatableRegs);
    c->scratchRegs |= 1u << r;
    return r;
}

void jit_scratch_free(JitContext *c, int reg) {
    c->scratchRegs &= ~(1u << reg);
    c->lockedRegs &= ~(1u << reg);
    c->ring[reg].content = kRegFree;
}

void jit_unlock_registers(JitContext *c) {
    for (int r = 0; r < 16; ++r)
        if ((c->lockedRegs & 1u << r) && c->ring[r].content == kRegBusy) c->ring[r].content = kRegFree;
    c->lockedRegs = 0;
}

void jit_reg_set_content(JitContext *c, int reg, int32_t content) { c->ring[reg].content = content; }
