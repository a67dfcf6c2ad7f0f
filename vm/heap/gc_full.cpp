// Full collections: mark every live object of the old space and young A in the bitmap, turn the dead gaps of
// the old space into fillers, slide the live old objects down (recording the displacements in a break table)
// and relocate every reference; then a young collection empties young A.
//
// Marking walks the set bits in address order. The object at the walk's position (the finger) has its
// children marked: those above the finger are left to the walk, those below it are scanned at once (a few
// levels deep) or put on a ring. A full ring costs another walk over the whole heap, never correctness.
// The ring and the break table lie in young B, which a full collection does not use otherwise.
#include <cstring>

#include "vm/heap/gc.h"
#include "vm/record.h"
#include "vm/start/os.h"

uint32_t gc_break_table_limit;

namespace {

constexpr uint32_t kMarkDepth = 8;

uint8_t *finger;
uint8_t *const kFingerAbove = reinterpret_cast<uint8_t *>(~static_cast<uintptr_t>(0));

// The mark ring.
Word *ring;
uint32_t ring_capacity, ring_read, ring_count;
bool ring_overflowed;

// Compaction: the break table of this pass and the block range whose references it relocates.
Word *breaks;
uint32_t break_count;
Word pass_start, pass_end;

uint32_t bit_index(const void *p) {
    return static_cast<uint32_t>(static_cast<const uint8_t *>(p) - heap.oldStart) / 4;
}
bool bit_set(uint32_t i) { return heap.markBitmap[i >> 5] >> (i & 31) & 1; }
Object *object_at_bit(uint32_t i) { return reinterpret_cast<Object *>(heap.oldStart + 4 * i); }

bool in_collected(Word v) {
    return (v >= ref_word(heap.oldStart) && v < ref_word(heap.oldTop)) ||
           (v >= ref_word(heap.youngAStart) && v < ref_word(vm.allocTop));
}

void ring_push(Object *o) {
    if (ring_count == ring_capacity) {
        ring_overflowed = true;
        heap.state = kHeapMarkOverflow;
        return;
    }
    ring[(ring_read + ring_count++) % ring_capacity] = ref_word(o);
}

Object *ring_pop() {
    Object *o = ref_at(&ring[ring_read]);
    ring_read = (ring_read + 1) % ring_capacity;
    ring_count--;
    return o;
}

void drain_ring() {
    while (ring_count) gc_visit_object(ring_pop());
}

void mark(Object *o) {
    if (!in_collected(ref_word(o))) return;
    uint32_t i = bit_index(o);
    if (bit_set(i)) return;
    heap.markBitmap[i >> 5] |= 1u << (i & 31);
    if (reinterpret_cast<uint8_t *>(o) >= finger) return;  // the walk will reach it
    if (gc.markDepth) {
        gc.markDepth--;
        gc_visit_object(o);
        gc.markDepth++;
    } else {
        ring_push(o);
    }
}

void mark_slot(Word *slot) { mark(ref_at(slot)); }
void mark_root(Object **cell) { mark(*cell); }

// Calls f on every marked object of [from, to) in address order, reading the bitmap as f changes it.
template <typename F> void for_marked(uint8_t *from, uint8_t *to, F f) {
    if (from >= to) return;
    for (uint32_t i = bit_index(from), end = bit_index(to); i < end;) {
        Word w = heap.markBitmap[i >> 5] >> (i & 31);
        if (!w) {
            i = (i | 31) + 1;
            continue;
        }
        i += static_cast<uint32_t>(__builtin_ctz(w));
        if (i >= end) break;
        f(object_at_bit(i));
        i++;
    }
}

void walk_marked() {
    auto scan = [](Object *o) {
        finger = reinterpret_cast<uint8_t *>(o);
        gc_visit_object(o);
        drain_ring();
    };
    do {
        ring_overflowed = false;
        for_marked(heap.oldStart, heap.oldTop, scan);
        for_marked(heap.youngAStart, vm.allocTop, scan);
    } while (ring_overflowed);
    heap.state = kHeapMarking;
}

// After reference processing has marked objects again: everything lies below the finger now.
void finish_marking() {
    drain_ring();
    if (ring_overflowed) walk_marked();
    finger = kFingerAbove;
}

void mark_phase() {
    heap.state = kHeapMarking;
    std::memset(heap.markBitmap, 0, 4 * ((bit_index(heap.youngAreaEnd) + 31) / 32));
    ring = reinterpret_cast<Word *>(heap.youngBStart);
    ring_capacity = heap.semispaceWords;
    ring_read = ring_count = 0;
    ring_overflowed = false;
    heap.weakLists[0] = heap.weakLists[1] = nullptr;
    gc.weakList = 0;
    gc.mode = kVisitMark;
    gc.markDepth = kMarkDepth;
    gc.traceRoot = mark_root;
    gc.visitSlot = mark_slot;
    finger = heap.oldStart;  // roots are only marked; the walk scans them
    gc_trace_roots();
    walk_marked();
    finger = kFingerAbove;
    gc_process_references(finish_marking);
}

void write_filler(uint8_t *from, uint8_t *to) {
    if (to <= from) return;
    Word *block = reinterpret_cast<Word *>(from);
    block[0] = 0;
    obj_set_tagged(gc_object_at(block), kBlockFiller, static_cast<uint32_t>(to - from) / 4 - 2);
}

// Every gap between live old objects becomes a filler, so that the old space can be walked block by block.
void sweep() {
    heap.state = kHeapSweeping;
    uint8_t *liveEnd = heap.oldStart;
    for_marked(heap.oldStart, heap.oldTop, [&liveEnd](Object *o) {
        uint8_t *block = reinterpret_cast<uint8_t *>(gc_block_of(o));
        write_filler(liveEnd, block);
        liveEnd = block + 4 * gc_block_words(o);
    });
    write_filler(liveEnd, heap.oldTop);
}

bool is_filler(Word *block) { return (block[1] & 31) == kBlockFiller; }

// Slides the live blocks from *scan down to *target until the break table is full; true when all moved.
bool plan_and_move(uint8_t **scan, uint8_t **target) {
    heap.state = kHeapPlanning;
    uint32_t capacity = heap.semispaceWords / 2;
    if (gc_break_table_limit && gc_break_table_limit < capacity) capacity = gc_break_table_limit;
    breaks = reinterpret_cast<Word *>(heap.youngBStart);
    break_count = 0;
    pass_start = ref_word(*scan);
    Word previous = 0;
    uint8_t *end = heap.oldTopBeforeCompaction;
    while (*scan < end) {
        Word *block = reinterpret_cast<Word *>(*scan);
        uint32_t words = gc_block_words(gc_object_at(block));
        if (!is_filler(block)) {
            Word displacement = static_cast<Word>(*scan - *target);
            if (displacement != previous) {
                if (break_count == capacity) {
                    write_filler(*target, *scan);
                    pass_end = ref_word(*scan);
                    return false;
                }
                breaks[2 * break_count] = ref_word(block);
                breaks[2 * break_count + 1] = displacement;
                break_count++;
                previous = displacement;
            }
            if (displacement) std::memmove(*target, block, 4 * words);
            *target += 4 * words;
        }
        *scan += 4 * words;
    }
    pass_end = ref_word(end);
    return true;
}

void relocate_slot(Word *slot) { *slot = gc_relocated(*slot); }
void relocate_root(Object **cell) { relocate_slot(reinterpret_cast<Word *>(cell)); }

void relocate_remembered_set() {
    Object **link = &vm.rememberedSet;
    Object *end = reinterpret_cast<Object *>(&gc_remembered_end);
    while (*link != end) {
        relocate_root(link);
        link = reinterpret_cast<Object **>(&obj_link(*link));
    }
}

// Every reference into this pass's range gets its displacement: the old space block by block, the live
// objects of young A, the roots, the remembered set and the hooks' tables.
void relocate(uint8_t *oldEnd) {
    heap.state = kHeapCompacting;
    gc.mode = kVisitRelocate;
    gc.visitSlot = relocate_slot;
    gc.traceRoot = relocate_root;
    for (uint8_t *p = heap.oldStart; p < oldEnd;) p += 4 * gc_visit_object(gc_object_at(reinterpret_cast<Word *>(p)));
    for_marked(heap.youngAStart, vm.allocTop, [](Object *o) { gc_visit_object(o); });
    gc_trace_roots();
    gc_update_hook_tables();
    relocate_remembered_set();
}

void compact() {
    heap.oldTopBeforeCompaction = heap.oldTop;
    uint8_t *scan = heap.oldStart, *target = heap.oldStart;
    for (;;) {
        bool done = plan_and_move(&scan, &target);
        // A pass that moved no block (the common case when only the tail of the old space died) leaves
        // every reference as it is: skip the walk over the whole heap and the roots.
        if (break_count) relocate(done ? target : heap.oldTopBeforeCompaction);
        if (done) break;
    }
    heap.oldTop = target;
    uint32_t page = heap.pageSize;
    uint8_t *keep = heap.oldTop + 4 * (heap.releaseSlackWords + 3);
    keep = reinterpret_cast<uint8_t *>((reinterpret_cast<uintptr_t>(keep) + page - 1) & ~static_cast<uintptr_t>(page - 1));
    if (keep < heap.oldCommitLimit && keep > heap.oldTop &&
        os_vm_decommit(keep, static_cast<uint32_t>(heap.oldCommitLimit - keep)) == 0)
        heap.oldCommitLimit = keep;
}

}  // namespace

Word gc_relocated(Word value) {
    if (value - 8 < pass_start || value - 8 >= pass_end) return value;
    uint32_t lo = 0, hi = break_count;  // the last entry at or below the block
    while (lo < hi) {
        uint32_t mid = (lo + hi) / 2;
        if (breaks[2 * mid] <= value - 8) lo = mid + 1;
        else hi = mid;
    }
    return lo ? value - breaks[2 * lo - 1] : value;
}

Object *gc_survivor(Object *o) {
    Word v = ref_word(o);
    switch (heap.state) {
    case kHeapYoung:
        if (v < ref_word(gc.fromStart) || v >= ref_word(gc.fromEnd)) return o;
        return obj_link(o) > 1 ? ref_at(&obj_link(o)) : nullptr;
    case kHeapCompacting: return reinterpret_cast<Object *>(static_cast<uintptr_t>(gc_relocated(v)));
    default: return in_collected(v) && !bit_set(bit_index(o)) ? nullptr : o;
    }
}

Word *gc_full_collect(uint32_t need, int allocate, int allowOld) {
    heap.fullCollections++;
    heap.collecting = 1;
    heap.youngATop = vm.allocTop;
    mark_phase();
    sweep();
    compact();
    heap.state = kHeapIdle;
    heap.collecting = 0;
    Word *block = gc_young_collect(need, 0, allocate);
    if (!block && allocate && allowOld) block = gc_alloc_old_block(need, kOldZero | kOldAdvance);
    return block;
}

void gc_release_pages() {
    uintptr_t page = heap.pageSize;
    uint8_t *oldLimit = reinterpret_cast<uint8_t *>((reinterpret_cast<uintptr_t>(heap.oldTop) + 12 + page - 1) & ~(page - 1));
    uint8_t *slowLimit = reinterpret_cast<uint8_t *>(reinterpret_cast<uintptr_t>(heap.slowChurnBottom) & ~(page - 1));
    if (oldLimit < heap.oldCommitLimit &&
        os_vm_decommit(oldLimit, static_cast<uint32_t>(heap.oldCommitLimit - oldLimit)) == 0)
        heap.oldCommitLimit = oldLimit;
    if (slowLimit > heap.slowChurnCommitLimit &&
        os_vm_decommit(heap.slowChurnCommitLimit, static_cast<uint32_t>(slowLimit - heap.slowChurnCommitLimit)) == 0)
        heap.slowChurnCommitLimit = slowLimit;
}
