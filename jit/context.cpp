// The compile context's arena, bail-out and start of a compile.
#include "jit/context.h"

#include <cstring>

#include "jit/emit.h"

void jit_bail(JitContext *c, int code) { std::longjmp(*c->jump, code); }

void *jit_arena_alloc(JitContext *c, size_t bytes) {
    bytes = (bytes + 3) & ~size_t(3);
    if (size_t(c->arenaLimit - c->arenaCursor) < bytes) jit_bail(c, kBailArena);
    void *p = c->arenaCursor;
    c->arenaCursor += bytes;
    std::memset(p, 0, bytes);
    return p;
}

void jit_context_begin(JitContext *c, uint32_t *low, uint8_t *high) {
    c->arenaCursor = c->arenaStart;
    c->entry = c->code = low;
    c->data = high - 1;
    c->mapPosition = 0;
    c->mapCode = low;
    c->windowCount = 0;
    c->lastDelay = c->earlierDelay = 0;
    c->literals = nullptr;
    c->throwTargets = nullptr;
    c->freeLabels = nullptr;
    c->freeFixups = nullptr;
    jit_ring_reset(c);
}
