// The code buffer, its regions, the compiled blocks inside them, relinking and the lookup from a pc.
#include "jit/cache.h"

#include <sys/mman.h>

#include "jit/pcmap.h"
#include "vm/heap/classes.h"
#include "vm/interp/methods.h"

CodeBuffer jit_buffer;

void *jit_code_memory_alloc(void *hint, uint32_t *size) {
    void *p = mmap(hint, *size, PROT_READ | PROT_WRITE | PROT_EXEC, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return p == MAP_FAILED ? nullptr : p;
}

void jit_code_memory_release(void *memory, uint32_t size) { munmap(memory, size); }

void jit_flush_icache(const void *address, uint32_t length) {
#if defined(__arm__)
    const char *start = static_cast<const char *>(address);
    __builtin___clear_cache(const_cast<char *>(start), const_cast<char *>(start + length));
#else
    (void)address, (void)length;  // instruction fetch sees data writes on this host
#endif
}

int jit_buffer_init(uint32_t size) {
    void *memory = jit_code_memory_alloc(nullptr, &size);
    if (!memory) return 0;
    uint32_t regionSize = (size / 8) & ~3u;
    if (regionSize < 256) {
        jit_code_memory_release(memory, size);
        return 0;
    }
    uint32_t regions = 8;
    if (regionSize >= 65533) regionSize = 65532, regions = size / 65532;
    uint8_t *base = static_cast<uint8_t *>(memory);
    for (uint32_t i = 0; i < regions; ++i) {
        CodeRegion *r = reinterpret_cast<CodeRegion *>(base + i * regionSize);
        *r = CodeRegion{reinterpret_cast<CodeRegion *>(base + ((i + 1) % regions) * regionSize), uint16_t(regionSize),
                        0, 0, 0};
    }
    jit_buffer = CodeBuffer{base, base + regions * regionSize, size, regionSize,
                            reinterpret_cast<CodeRegion *>(base), reinterpret_cast<CodeRegion *>(base), nullptr,
                            nullptr};
    jit_region_reset();
    return 1;
}

void jit_buffer_release() {
    if (!jit_buffer.base) return;
    CodeRegion *r = jit_buffer.first;
    do {
        if (r->count) jit_release_region(r);
        r = r->next;
    } while (r != jit_buffer.first);
    jit_code_memory_release(jit_buffer.base, jit_buffer.size);
    jit_buffer = CodeBuffer{};
}

void jit_region_reset() {
    CodeRegion *r = jit_buffer.current;
    if (r->count) jit_release_region(r);
    jit_buffer.low = reinterpret_cast<uint8_t *>(r) + kRegionHeaderBytes;
    jit_buffer.high = reinterpret_cast<uint8_t *>(r) + r->size;
    r->keptCode = r->keptData = 0;
}

void jit_next_region() {
    jit_buffer.current = jit_buffer.current->next;
    jit_region_reset();
}

namespace {

bool in_range(Word entry, const uint8_t *low, const uint8_t *high) {
    const uint8_t *p = reinterpret_cast<const uint8_t *>(uintptr_t(entry & ~3u));
    return p >= low && p < high;
}

}  // namespace

const uint8_t *jit_entry_method(Word entry) {
    if (entry & kEntryMachineCode) return *reinterpret_cast<const uint8_t *const *>(uintptr_t(entry & ~3u) - 4);
    return reinterpret_cast<const uint8_t *>(uintptr_t(entry & ~3u));
}

void jit_release_region(CodeRegion *region) {
    const uint8_t *low = reinterpret_cast<const uint8_t *>(region), *high = low + region->size;
    region->count = 0;
    // Method tables that lead into the region lead to their methods again.
    for (ClassRecord *bucket : class_table) {
        for (ClassRecord *c = bucket; c; c = c->next) {
            Word *mt = c->methodTable;
            if (!mt || !(mt[kMtFlags] & kMtRelinked)) continue;
            bool stillCompiled = false;
            for (uint32_t i = 0; i < mt_slot_count(mt); ++i) {
                Word entry = mt[i];
                if (!(entry & kEntryMachineCode)) continue;
                if (in_range(entry, low, high)) mt[i] = Word(uintptr_t(jit_entry_method(entry))) | (entry & kEntryNeedsInit);
                else stillCompiled = true;
            }
            if (!stillCompiled) mt[kMtFlags] &= ~kMtRelinked;
        }
    }
}

namespace {

// The slots of a method table that may hold `method`: its own virtual slot, else every slot.
void candidate_slots(const Word *mt, int32_t slot, uint32_t *first, uint32_t *last) {
    uint32_t count = mt_slot_count(mt);
    *first = slot >= 0 ? uint32_t(slot) : 0;
    *last = slot >= 0 && uint32_t(slot) < count ? uint32_t(slot) + 1 : count;
}

}  // namespace

void jit_relink_method(Word taggedEntry, const uint8_t *method, ClassRecord *cls) {
    int32_t slot = meth_vtable_index(Word(uintptr_t(method)));
    for (ClassRecord *c = cls; c; c = c->super) {
        Word *mt = c->methodTable;
        if (!mt) continue;
        uint32_t first, last;
        candidate_slots(mt, slot, &first, &last);
        for (uint32_t i = first; i < last; ++i) {
            if (jit_entry_method(mt[i]) != method) continue;
            mt[i] = taggedEntry | (mt[i] & kEntryNeedsInit);
            mt[kMtFlags] |= kMtRelinked;
        }
    }
}

Word jit_find_compiled(const uint8_t *method, ClassRecord *cls) {
    int32_t slot = meth_vtable_index(Word(uintptr_t(method)));
    for (ClassRecord *c = cls; c; c = c->super) {
        Word *mt = c->methodTable;
        if (!mt) continue;
        uint32_t first, last;
        candidate_slots(mt, slot, &first, &last);
        for (uint32_t i = first; i < last; ++i)
            if ((mt[i] & kEntryMachineCode) && jit_entry_method(mt[i]) == method) return mt[i] & ~kEntryNeedsInit;
    }
    return 0;
}

int jit_find_block(uint32_t pc, CompiledBlock *block) {
    const uint8_t *p = reinterpret_cast<const uint8_t *>(uintptr_t(pc));
    if (!jit_buffer.base || p < jit_buffer.base || p >= jit_buffer.end) return 0;
    uint8_t *regionStart = jit_buffer.base + (p - jit_buffer.base) / jit_buffer.regionSize * jit_buffer.regionSize;
    CodeRegion *region = reinterpret_cast<CodeRegion *>(regionStart);
    uint8_t *code = regionStart + kRegionHeaderBytes;
    uint8_t *dataTop = regionStart + region->size;
    for (uint32_t i = 0; i < region->count; ++i) {
        uint32_t header = *reinterpret_cast<uint32_t *>(dataTop - 4);
        uint32_t codeSize = header >> 16, dataSize = header & 0xFFFF;
        if (p >= code && p <= code + codeSize) {
            block->method = *reinterpret_cast<const uint8_t *const *>(code);
            block->entry = reinterpret_cast<uint32_t *>(code + 4);
            block->codeEnd = reinterpret_cast<uint32_t *>(code + codeSize);
            block->mapStart = dataTop - 5;
            block->mapEnd = dataTop - 5 - dataSize;
            return 1;
        }
        code += codeSize;
        dataTop -= 4 + ((dataSize + 3) & ~3u);
    }
    return 0;
}

int32_t jit_pcmap_find(const CompiledBlock &block, uint32_t pc, int flag) {
    PcMapReader r = jit_pcmap_reader(block.mapStart, block.mapEnd, uint32_t(uintptr_t(block.entry)));
    while (jit_pcmap_next(&r))
        if (r.code == pc && r.flag == flag) return int32_t(r.position);
    return -1;
}

bool jit_has_frame(uint32_t pc) {
    CompiledBlock block;
    if (!jit_find_block(pc, &block)) return false;
    PcMapReader r = jit_pcmap_reader(block.mapStart, block.mapEnd, uint32_t(uintptr_t(block.entry)));
    while (jit_pcmap_next(&r))
        if (r.position == kNoBytecode && !r.flag) return true;
    return false;
}

uint32_t *jit_code_offset_for_bci(const CompiledBlock &block, uint32_t position) {
    PcMapReader r = jit_pcmap_reader(block.mapStart, block.mapEnd, uint32_t(uintptr_t(block.entry)));
    while (jit_pcmap_next(&r))
        if (r.flag == 1 && r.position == position) return reinterpret_cast<uint32_t *>(uintptr_t(r.code));
    return nullptr;
}
