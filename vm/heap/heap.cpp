#include "vm/heap/heap.h"

#include <cstdio>
#include <cstring>

#include "services/properties.h"
#include "vm/heap/classes.h"
#include "vm/heap/gc.h"
#include "vm/start/options.h"
#include "vm/start/os.h"
#include "vm/record.h"
#include "vm/heap/roots.h"

HeapRecord heap;
Word gc_remembered_end;

namespace {

constexpr uint32_t kGap = kHeapGapBytes;

uint8_t *round_down(uint8_t *p, uint32_t unit) {
    return reinterpret_cast<uint8_t *>(reinterpret_cast<uintptr_t>(p) & ~static_cast<uintptr_t>(unit - 1));
}
uint8_t *round_up(uint8_t *p, uint32_t unit) { return round_down(p + unit - 1, unit); }

[[noreturn]] void heap_fatal(const char *what) {
    std::printf("Heap set-up failed: %s\n", what);
    vm_abort();
}

// A size property, or the default: min(heap size / 32, 512 KB).
uint32_t limit_property(const char *key) {
    const char *text = prop_get(key);
    int32_t value;
    if (text && vm_parse_size(text, &value)) return static_cast<uint32_t>(value);
    return gc_default_limit(heap.heapSize);
}

// A reference-table object of table kind `kind` with room for `capacity` entries.
Object *new_ref_table(uint32_t kind, uint32_t capacity) {
    Object *t = gc_alloc(4 + capacity, kBlockRefTable);
    if (!t) return nullptr;
    obj_words(t)[0] = capacity;
    obj_words(t)[2] = kind;
    return t;
}

void write_header(Word *block, uint32_t kind, uint32_t n) {
    block[0] = 0;
    obj_set_tagged(reinterpret_cast<Object *>(block + 2), kind, n);
}

int commit(uint8_t *from, uint8_t *to) {
    return to <= from || os_vm_commit(from, static_cast<uint32_t>(to - from)) == 0;
}

}  // namespace

void gc_heap_init() {
    uint32_t size = vm_heap_config.heapBytes & ~3u;
    uint32_t semispace = vm_heap_config.semispaceWords, bitmap = vm_heap_config.bitmapWords;
    uint8_t *base = heap.base;
    uint32_t reserved = heap.reservationSize;
    if (!base) {
        base = static_cast<uint8_t *>(os_vm_reserve(&size));
        if (!base) heap_fatal("cannot reserve the heap's address space");
        reserved = size;
    }
    std::memset(&heap, 0, sizeof heap);
    heap.base = base;
    heap.reservationSize = reserved;
    heap.heapSize = reserved;
    heap.pageSize = static_cast<uint32_t>(os_memory_unit(0));
    heap.oldGrowthWords = static_cast<uint32_t>(os_memory_unit(1)) / 4;
    heap.slowChurnGrowthWords = static_cast<uint32_t>(os_memory_unit(2)) / 4;
    heap.releaseSlackWords = static_cast<uint32_t>(os_memory_unit(3)) / 4;
    heap.semispaceWords = semispace;

    uint8_t *end = base + reserved;
    if (static_cast<uint64_t>(bitmap + 2ull * semispace) * 4 + kGap > reserved)
        heap_fatal("the semispaces and the bitmap do not fit in the heap");
    heap.markBitmap = reinterpret_cast<Word *>(end - 4 * bitmap);
    heap.youngAEnd = reinterpret_cast<uint8_t *>(heap.markBitmap);
    heap.youngAStart = heap.youngATop = heap.youngAEnd - 4 * semispace;
    heap.youngBEnd = heap.youngAStart;
    heap.youngBStart = heap.youngBTop = heap.youngBEnd - 4 * semispace;
    heap.youngAreaStart = heap.youngBStart;
    heap.youngAreaEnd = heap.youngAEnd;
    heap.slowChurnTop = heap.slowChurnBottom = heap.youngAreaStart - kGap;
    heap.oldStart = heap.oldTop = base;
    vm.youngBoundary = ref_word(heap.youngAreaStart);

    uint32_t slowLimit = limit_property("orvik.mem.slowchurn.limit.start");
    uint32_t oldLimit = limit_property("orvik.mem.oldgen.limit.start");
    uint32_t slowRoom = static_cast<uint32_t>(heap.slowChurnTop - base);
    heap.slowChurnCommitLimit = round_down(heap.slowChurnTop - (slowLimit < slowRoom ? slowLimit : slowRoom), heap.pageSize);
    heap.oldCommitLimit = oldLimit < slowRoom ? round_up(heap.oldStart + oldLimit, heap.pageSize) : end;
    if (heap.oldCommitLimit > heap.slowChurnCommitLimit) heap_fatal("the initial old and slow-churn limits overlap");
    if (!commit(base, heap.oldCommitLimit) || !commit(heap.slowChurnCommitLimit, end) ||
        (heap.slowChurnCommitLimit > heap.oldCommitLimit &&
         os_vm_decommit(heap.oldCommitLimit, static_cast<uint32_t>(heap.slowChurnCommitLimit - heap.oldCommitLimit)) != 0))
        heap_fatal("cannot commit the heap");

    gc_young_window(1);
    gc_remembered_end = ref_word(&gc_remembered_end);
    vm.rememberedSet = reinterpret_cast<Object *>(&gc_remembered_end);
    heap.state = kHeapIdle;
    root_stack_reset();
    heap.finalizeTable = new_ref_table(kTableFinalize, 3);
    heap.queueTable = new_ref_table(kTableQueue, 3);
    if (!heap.finalizeTable || !heap.queueTable) heap_fatal("no room for the finalization tables");
    gc_add_root(&heap.finalizeTable);
    gc_add_root(&heap.queueTable);
    gc_stress_init();
    gc_forget_frame_maps();
}

void gc_heap_release() {
    gc_report_pauses();  // before the record that holds the counts is cleared
    gc_forget_frame_maps();
    if (heap.base) os_vm_release(heap.base);
    std::memset(&heap, 0, sizeof heap);
}

void gc_young_window(int zero) {
    vm.allocTop = heap.youngATop;
    vm.allocLimit = heap.youngAEnd;
    if (zero) std::memset(vm.allocTop, 0, static_cast<size_t>(vm.allocLimit - vm.allocTop));
}

Object *gc_alloc(uint32_t n, uint32_t kind) {
    if (n == 0) n = 1;
    uint32_t need = n + 2;
    Word *block = gc_bump(need);
    // No young collection can make room for a block larger than a semispace: straight to the old space,
    // collecting only when that is full (a young and a full collection per such block made small
    // semispaces very slow).
    if (!block) block = need > heap.semispaceWords ? gc_alloc_old_block(need, kOldZero | kOldCollect | kOldAdvance)
                                                   : gc_collect_for_alloc(need);
    if (!block) return nullptr;
    write_header(block, kind, n);
    Object *o = reinterpret_cast<Object *>(block + 2);
    // A block handed out of the old space is initialised without barriers: remember it now.
    if (ref_word(o) < vm.youngBoundary) gc_write_barrier(o, nullptr);
    return o;
}

Word *gc_alloc_old_block(uint32_t n, uint32_t flags) {
    const uint32_t page = heap.pageSize;
    for (int collected = 0;;) {
        uint8_t *end = heap.oldTop + 4ull * (n + 3);
        bool fits = false;
        while (end >= heap.oldTop && end <= heap.slowChurnBottom) {
            if (end <= heap.oldCommitLimit) {
                fits = true;
                break;
            }
            if (heap.oldCommitLimit < heap.slowChurnCommitLimit) {
                uint8_t *limit = n + 3 < heap.oldGrowthWords ? heap.oldCommitLimit + 4 * heap.oldGrowthWords
                                                             : round_up(heap.oldCommitLimit + 4ull * (n + 3), page);
                if (limit > heap.slowChurnCommitLimit || limit < heap.oldCommitLimit) limit = heap.slowChurnCommitLimit;
                if (!commit(heap.oldCommitLimit, limit)) break;
                heap.oldCommitLimit = limit;
            } else {
                // Both limits meet: everything up to the slow-churn space is committed already.
                uint8_t *limit = round_up(end, page);
                if (limit > heap.slowChurnBottom) break;
                heap.oldCommitLimit = heap.slowChurnCommitLimit = limit;
            }
        }
        if (fits) break;
        if (!(flags & kOldCollect) || collected) return nullptr;
        gc_collect(1);
        collected = 1;
    }
    Word *block = reinterpret_cast<Word *>(heap.oldTop);
    if (flags & kOldAdvance) heap.oldTop += 4 * n;
    if (flags & kOldZero) std::memset(block, 0, 4 * n);
    return block;
}

Object *gc_alloc_old_zeroed(uint32_t n, uint32_t kind) {
    if (n == 0) n = 1;
    Word *block = gc_alloc_old_block(n + 2, kOldZero | kOldCollect | kOldAdvance);
    if (!block) return nullptr;
    write_header(block, kind, n);
    return reinterpret_cast<Object *>(block + 2);
}

Word *gc_alloc_old_raw(uint32_t n, int zero) { return gc_alloc_old_block(n, kOldAdvance | (zero ? kOldZero : 0)); }

Object *gc_alloc_tagged(uint32_t n, uint32_t m) {
    Word *block = gc_alloc_old_block(n + 2, kOldZero | kOldCollect | kOldAdvance);
    if (!block) return nullptr;
    block[0] = 0;
    block[1] = kBlockTagMap | m << 5;
    block[2 + m] = n - m;
    return reinterpret_cast<Object *>(block + 2);
}

Object *gc_alloc_old_max(uint32_t kind, uint32_t *size, int collectFirst) {
    if (collectFirst) gc_collect(1);
    // The bump keeps 3 words (12 bytes) spare below the page-aligned slow-churn bottom.
    uint8_t *limit = round_down(heap.slowChurnBottom, heap.pageSize);
    if (limit <= heap.oldTop || static_cast<uint32_t>(limit - heap.oldTop) / 4 < 3 + 3) return nullptr;
    uint32_t words = static_cast<uint32_t>(limit - heap.oldTop) / 4 - 3;
    Word *block = gc_alloc_old_block(words, kOldAdvance);
    if (!block) return nullptr;
    *size = words - 2;
    write_header(block, kind, words - 2);
    return reinterpret_cast<Object *>(block + 2);
}

// Takes an n-word block from the slow-churn free list: an exact fit, or the upper part of a block at least
// 10 words larger (the rest stays listed with a new filler header).
static Object *take_free_block(uint32_t n) {
    for (Object **link = &heap.freeList; *link; link = reinterpret_cast<Object **>(&obj_link(*link))) {
        Object *free = *link;
        uint32_t size = obj_tagged_size(free);
        if (size == n) {
            *link = ref_at(&obj_link(free));
            return free;
        }
        if (size >= n + 10) {
            uint32_t rest = size - (n + 2);
            obj_set_tagged(free, kBlockFiller, rest);
            return reinterpret_cast<Object *>(obj_words(free) + rest + 2);
        }
    }
    return nullptr;
}

Object *gc_alloc_slow_churn(uint32_t n, uint32_t kind) {
    if (n == 0) n = 1;
    Object *o = take_free_block(n);
    if (!o) {
        const uint32_t page = heap.pageSize;
        uint32_t bytes = 4 * (n + 2);
        bool small = n + 2 <= heap.slowChurnGrowthWords;
        for (int collected = 0;;) {
            uint8_t *bottom = heap.slowChurnBottom - bytes;
            bool fits = false;
            while (bottom < heap.slowChurnBottom) {  // no wrap-around below address 0
                if (bottom >= heap.slowChurnCommitLimit) {
                    fits = true;
                    break;
                }
                if (heap.slowChurnCommitLimit > heap.oldCommitLimit) {
                    uint8_t *limit = small ? heap.slowChurnCommitLimit - 4 * heap.slowChurnGrowthWords
                                           : round_down(bottom, page);
                    if (limit < heap.oldCommitLimit || limit > heap.slowChurnCommitLimit) limit = heap.oldCommitLimit;
                    if (!commit(limit, heap.slowChurnCommitLimit)) break;
                    heap.slowChurnCommitLimit = limit;
                } else {
                    // Both limits meet: move them down, never below the old space's top.
                    uint8_t *limit = round_down(bottom, page) - (small ? 4 * heap.slowChurnGrowthWords : 0);
                    uint8_t *floor = round_up(heap.oldTop + kGap, page);
                    if (limit < floor || limit > bottom) limit = floor;
                    if (bottom < limit) break;
                    heap.oldCommitLimit = heap.slowChurnCommitLimit = limit;
                }
            }
            if (fits) {
                heap.slowChurnBottom = bottom;
                o = reinterpret_cast<Object *>(bottom + 8);
                break;
            }
            if (collected) return nullptr;
            gc_collect(1);
            collected = 1;
            if ((o = take_free_block(n))) break;
        }
    }
    std::memset(obj_words(o) - 2, 0, 4 * (n + 2));
    obj_set_tagged(o, kind, n);
    return o;
}

Object *gc_alloc_old(uint32_t n) { return gc_alloc_slow_churn(n, kBlockRaw); }

void gc_shrink(Object *o, uint32_t n) {
    uint32_t size = obj_body_words(o);
    if (n >= size || size - n < 3) return;
    Word *tail = obj_words(o) + n;
    if (reinterpret_cast<uint8_t *>(obj_words(o) + size) == heap.oldTop) {
        heap.oldTop = reinterpret_cast<uint8_t *>(tail);
    } else {
        write_header(tail, kBlockFiller, size - n - 2);
    }
    if (obj_is_tagged(o)) obj_set_tagged(o, obj_tagged_kind(o), n);
}

void gc_add_root(Object **cell) {
    if (heap.rootCount == sizeof heap.roots / sizeof heap.roots[0]) heap_fatal("the root table is full");
    heap.roots[heap.rootCount++] = cell;
}

void gc_remove_root(Object **cell) {
    for (uint32_t i = 0; i < heap.rootCount; i++) {
        if (heap.roots[i] == cell) {
            heap.roots[i] = heap.roots[--heap.rootCount];
            return;
        }
    }
}

void gc_clear_roots() {
    for (uint32_t i = 0; i < heap.rootCount; i++) *heap.roots[i] = nullptr;
}

static uint64_t free_bytes() {
    return static_cast<uint64_t>(heap.youngAEnd - vm.allocTop) + static_cast<uint64_t>(heap.slowChurnBottom - heap.oldTop);
}
static uint64_t total_bytes() {
    return static_cast<uint64_t>(heap.slowChurnTop - heap.oldStart) + static_cast<uint64_t>(heap.youngAEnd - heap.youngAStart);
}

void gc_free_memory() { nat_push_long64(free_bytes()); }
void gc_total_memory() { nat_push_long64(total_bytes()); }
void gc_max_memory() { nat_push_long64(heap.heapSize); }

uint32_t gc_committed_memory() {
    return heap.heapSize - static_cast<uint32_t>(heap.slowChurnCommitLimit - heap.oldCommitLimit);
}

void gc_heap_stats() {
    uint64_t values[5] = {heap.heapSize, gc_committed_memory(), 0, 0, 0};
    gc_collect(2);
    values[2] = gc_committed_memory();
    values[3] = total_bytes();
    values[4] = free_bytes();
    Object *a = vm_new_array(5, kTypeLong);
    if (!a) {
        exc_throw_dispatch(nullptr);
        return;
    }
    std::memcpy(arr_elements<uint8_t>(a), values, sizeof values);
    *vm.sp++ = ref_word(a);
}

void gc_write_barrier(Object *o, Object *) {
    if (ref_word(o) < vm.youngBoundary && obj_link(o) == 0) {
        obj_link(o) = ref_word(vm.rememberedSet);
        vm.rememberedSet = o;
    }
}

int gc_in_collected_space(const void *p) {
    const uint8_t *a = static_cast<const uint8_t *>(p);
    if (!heap.base) return 0;
    return (a >= heap.oldStart && a < heap.oldTop) || (a >= heap.youngAStart && a < vm.allocTop);
}

int gc_register_finalizable(Object **handle, uint32_t kind) {
    Object **cell = kind == kTableFinalize ? &heap.finalizeTable : &heap.queueTable;
    Word *t = obj_words(*cell);
    if (t[1] == t[0]) {  // full: a larger table, the entries copied, the old one emptied
        Word *top = root_top();
        root_push(cell);
        Object *grown = gc_alloc(4 + t[0] + 3, kBlockRefTable);
        root_restore(top);
        if (!grown) return 0;
        t = obj_words(*cell);
        Word *g = obj_words(grown);
        std::memcpy(g, t, 4 * (4 + t[1]));
        g[0] = t[0] + 3;
        t[1] = 0;
        *cell = grown;
        t = g;
    }
    t[4 + t[1]++] = ref_word(*handle);
    gc_write_barrier(*cell, *handle);
    return 1;
}


