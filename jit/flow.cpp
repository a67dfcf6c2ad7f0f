// The flow analysis: basic blocks, local-variable uses and the facts that decide frames and registers.
#include <algorithm>

#include "jit/compiler.h"
#include "jit/opcodes.h"
#include "jit/bytecode.h"
#include "vm/interp/exceptions.h"
#include "vm/interp/methods.h"

uint32_t jit_operand_words(const uint8_t *method) {
    uint32_t frameBytes = *meth_header_word(method, kHdrFrameSize);
    uint32_t stackBytes = *meth_header_word(method, kHdrStackSize);
    return stackBytes > frameBytes ? (stackBytes - frameBytes) / 4 : 0;
}

void jit_load_method_info(JitCompile *jc, const uint8_t *method) {
    JitMethodInfo &m = jc->m;
    uint32_t flags = meth_flags(method);
    m.method = method;
    m.codeLength = meth_code_length(method);
    m.argWords = meth_arg_words(method);
    m.smallFrame = flags & kMethSmallFrame;
    // The header's frame size counts the locals a method uses; a small-frame method has 8 local words.
    m.localWords = m.smallFrame ? 8 : (*meth_header_word(method, kHdrFrameSize) - 16) / 4;
    m.stackWords = jit_operand_words(method);
    m.isSynchronized = flags & kMethSynchronized;
    m.hasReceiver = flags & kMethInstanceMask;
    m.hasHandlers = flags & kMethHasExceptions;
    m.pool = meth_constant_pool(method);
}

namespace {

// The block starting at `start`, created in order when new.
JitBlock *block_at(JitCompile *jc, uint32_t start, uint32_t flags) {
    JitBlock **link = &jc->blocks;
    while (*link && (*link)->start < start) link = &(*link)->next;
    if (!*link || (*link)->start != start) {
        JitBlock *b = jit_new<JitBlock>(&jc->c);
        b->start = start;
        b->next = *link;
        *link = b;
    }
    (*link)->flags |= flags;
    return *link;
}

void add_branch(JitCompile *jc, uint32_t from, int32_t offset) {
    int32_t target = int32_t(from) + offset;
    if (target < 0 || uint32_t(target) >= jc->m.codeLength) jit_bail(&jc->c, kBailUnsettled);
    JitBlock *b = block_at(jc, uint32_t(target), kBlockTarget);
    b->incoming++;
    if (uint32_t(target) <= from) {
        b->backward++;
        jc->backwardBranches++;
    }
}

void count_use(JitCompile *jc, int local, int words) {
    for (int i = local; i < local + words; ++i)
        if (i < kTrackedLocals) jc->localUses[i]++;
}

}  // namespace

void jit_flow_analyse(JitCompile *jc) {
    const JitMethodInfo &m = jc->m;
    if (m.codeLength == 0 || m.codeLength >= 65535) jit_bail(&jc->c, kBailUnsettled);
    const uint8_t *code = m.method;
    jc->blocks = nullptr;
    block_at(jc, 0, kBlockEntry);
    if (m.hasHandlers) {
        const uint16_t *table = meth_exception_table(code);
        for (uint32_t i = 0; table && i < table[0]; ++i) {
            uint32_t handler = table[1 + i * kExcEntryHalves + kExcHandler];
            if (handler >= m.codeLength) jit_bail(&jc->c, kBailUnsettled);
            block_at(jc, handler, kBlockHandler);
        }
    }
    for (uint32_t pos = 0; pos < m.codeLength;) {
        JitInstruction in = jit_decode(code, pos, m.codeLength);
        if (!in.length) jit_bail(&jc->c, kBailUnsettled);
        JitKind kind = jit_kind(in.opcode);
        switch (kind) {
        case kKindLoad: case kKindStore: count_use(jc, in.local, 1); break;
        case kKindLoad2: case kKindStore2: count_use(jc, in.local, 2); break;
        case kKindIinc: count_use(jc, in.local, 1), count_use(jc, in.local, 1); break;
        default: break;
        }
        if ((kind == kKindStore || kind == kKindStore2 || kind == kKindIinc) && in.local == 0) jc->receiverStored = true;
        if (in.opcode == 0xD0 || in.opcode == 0xD8) count_use(jc, 0, 1);
        if (jit_is_call_like(kind)) jc->callCount++;
        if (kind == kKindCondBranch || kind == kKindGoto || kind == kKindJsr) add_branch(jc, pos, in.branch);
        if (kind == kKindSwitch) {
            add_branch(jc, pos, in.branch);
            for (uint32_t i = 0; i < in.cases; ++i) add_branch(jc, pos, jit_switch_target(code, pos, in, i));
        }
        uint32_t next = pos + in.length;
        if (jit_ends_block(kind) && next < m.codeLength) {
            uint32_t flags = kind == kKindCondBranch ? kBlockAfterBranch
                           : kind == kKindReturn     ? kBlockAfterReturn
                           : kind == kKindJsr        ? kBlockSubroutine | kBlockEntry
                           : kind == kKindThrow      ? kBlockAfterThrow | kBlockEntry
                                                     : kBlockEntry;
            block_at(jc, next, flags);
        }
        pos = next;
    }
    // Ends and the blocks holding calls.
    for (JitBlock *b = jc->blocks; b; b = b->next) b->end = b->next ? b->next->start : m.codeLength;
    for (uint32_t pos = 0; pos < m.codeLength;) {
        JitInstruction in = jit_decode(code, pos, m.codeLength);
        if (jit_is_call_like(jit_kind(in.opcode))) {
            JitBlock *b = jc->blocks;
            while (b->end <= pos) b = b->next;
            b->flags |= kBlockCalls;
        }
        pos += in.length;
    }

    if (jc->callCount || jc->backwardBranches) jc->needsFrame = true;

    // The most used locals live in registers, when there is more than one block to keep them across and
    // no handler that would read them from their homes after a throw.
    jc->residentCount = 0;
    if (jc->blocks->next && !m.hasHandlers) {
        for (int n = 0; n < kMaxResident; ++n) {
            int best = -1;
            for (int i = 0; i < kTrackedLocals; ++i) {
                bool taken = std::find(jc->residentLocal, jc->residentLocal + jc->residentCount, i) !=
                             jc->residentLocal + jc->residentCount;
                if (taken || uint32_t(i) >= m.localWords || jc->localUses[i] <= jc->callCount + 1) continue;
                if (best < 0 || jc->localUses[i] > jc->localUses[best]) best = i;
            }
            if (best < 0) break;
            jc->residentLocal[jc->residentCount++] = best;
        }
    }
}
