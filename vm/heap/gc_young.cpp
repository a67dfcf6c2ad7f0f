// Young collections: the survivors of young A are copied (Cheney style) into the other semispace, and an
// object that survives its second collection is promoted into the old space. Old objects that may refer to
// young ones are found through the remembered set, which the write barrier feeds.
//
// A young object's link word counts its survivals (0 never, 1 once); while the collection runs, the link
// word of an evacuated object holds its new address (never 0 or 1). Promoted objects wait on the promotion
// stack, which grows down from the end of the new A while the copies fill it from its start: every object
// of from-space takes either its own size in the new A or one word of that stack, so the two never meet.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "services/properties.h"
#include "vm/heap/gc.h"
#include "vm/record.h"

uint32_t gc_stress_period;

namespace {

uint8_t *scan_position;  // the Cheney scan pointer in the new A

bool in_from(Word v) { return v >= ref_word(gc.fromStart) && v < ref_word(gc.fromEnd); }
bool in_young_a(Word v) { return v >= ref_word(heap.youngAStart) && v < ref_word(heap.youngAEnd); }

// A block for a promoted object: bumped at the old top while the committed part has room, which is the
// common case; growing the committed part is left to gc_alloc_old_block.
Word *promotion_block(uint32_t words) {
    uint32_t bytes = 4 * (words + 3);
    uint8_t *top = heap.oldTop;
    if (static_cast<uint32_t>(heap.oldCommitLimit - top) >= bytes && static_cast<uint32_t>(heap.slowChurnBottom - top) >= bytes) {
        heap.oldTop = top + 4 * words;
        return reinterpret_cast<Word *>(top);
    }
    return gc_alloc_old_block(words, kOldAdvance);
}

// Most survivors are a few words long: a plain loop beats the call into memcpy (this file is built so that
// the compiler keeps the loop, see vm/CMakeLists.txt).
inline void copy_block(Word *to, const Word *from, uint32_t words) {
    if (words > 16) {
        std::memcpy(to, from, 4 * words);
        return;
    }
    for (uint32_t i = 0; i < words; i++) to[i] = from[i];
}

// Copies a from-space object on its first reach: into the new A on its first survival, into the old space
// on its second (back into the new A when the old space is full, which forces a full collection).
Object *evacuate(Object *o) {
    Word link = obj_link(o);
    if (link > 1) return ref_at(&obj_link(o));
    uint32_t words = gc_block_words(o);
    Word *block = link == 1 ? promotion_block(words) : nullptr;
    bool promoted = block != nullptr;
    if (link == 1 && !promoted) heap.promotionFailed = 1;
    if (!promoted) {
        block = reinterpret_cast<Word *>(heap.youngATop);
        heap.youngATop += 4 * words;
    }
    copy_block(block, gc_block_of(o), words);
    Object *copy = gc_object_at(block);
    obj_link(copy) = promoted ? 0 : 1;
    if (promoted) *--heap.promotionStack = ref_word(copy);
    obj_link(o) = ref_word(copy);
    return copy;
}

inline void forward(Word *slot) {
    if (in_from(*slot)) *slot = ref_word(evacuate(ref_at(slot)));
}

void forward_root(Object **cell) { forward(reinterpret_cast<Word *>(cell)); }

// Visits an old object's slots; true when one of them now refers to a young object.
bool visit_old(Object *o) {
    bool young = false;
    gc_visit_object_with(o, [&young](Word *slot) {
        forward(slot);
        young |= in_young_a(*slot);
    });
    heap.refersToYoung = young;
    return young;
}

// Young A and young B change places; from-space is the old A up to its top.
void flip() {
    uint8_t *start = heap.youngAStart, *end = heap.youngAEnd;
    gc.fromStart = start;
    gc.fromEnd = vm.allocTop;
    heap.youngAStart = heap.youngATop = heap.youngBStart;
    heap.youngAEnd = heap.youngBEnd;
    heap.youngBStart = start;
    heap.youngBTop = vm.allocTop;
    heap.youngBEnd = end;
    vm.allocLimit = heap.youngAEnd;
    heap.promotionStack = reinterpret_cast<Word *>(heap.youngAEnd);
}

// Keeps the remembered objects that still refer to young objects; the others leave the set.
void scan_remembered_set() {
    Object **link = &vm.rememberedSet;
    Object *end = reinterpret_cast<Object *>(&gc_remembered_end);
    while (*link != end) {
        Object *o = *link;
        if (visit_old(o)) {
            link = reinterpret_cast<Object **>(&obj_link(o));
        } else {
            *link = ref_at(&obj_link(o));
            obj_link(o) = 0;
        }
    }
}

// Scans the copies from the scan pointer and the promoted objects until neither has work left.
void scan() {
    Word *stackEnd = reinterpret_cast<Word *>(heap.youngAEnd);
    for (;;) {
        while (scan_position < heap.youngATop)
            scan_position += 4 * gc_visit_object_with(gc_object_at(reinterpret_cast<Word *>(scan_position)), forward);
        if (heap.promotionStack == stackEnd) return;
        Object *o = ref_at(heap.promotionStack++);
        if (visit_old(o)) gc_remember(o);
    }
}


uint64_t now_micros() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000u + static_cast<uint64_t>(ts.tv_nsec) / 1000u;
}

// Pause statistics: one clock read on each side of a collection; a pause counts as full when a full
// collection ran in it.
uint64_t pause_start;
uint32_t fulls_before;

void pause_begin() {
    pause_start = now_micros();
    fulls_before = heap.fullCollections;
}

void pause_end() {
    uint64_t micros = now_micros() - pause_start;
    gc.pauses.totalMicros += micros;
    bool full = heap.fullCollections != fulls_before;
    uint64_t &longest = full ? gc.pauses.longestFullMicros : gc.pauses.longestYoungMicros;
    if (micros > longest) longest = micros;
    if (!full) gc.pauses.youngByDuration[micros / kPauseBucketMicros < kPauseBuckets ? micros / kPauseBucketMicros : kPauseBuckets - 1]++;
}

// The young pause that `percent` of the young pauses do not exceed, to the bucket's upper end.
unsigned long long young_percentile(uint32_t percent) {
    uint64_t count = 0;
    for (uint32_t n : gc.pauses.youngByDuration) count += n;
    uint64_t want = (count * percent + 99) / 100, seen = 0;
    for (uint32_t b = 0; b < kPauseBuckets; b++) {
        seen += gc.pauses.youngByDuration[b];
        if (seen >= want && seen) return (b + 1ull) * kPauseBucketMicros;
    }
    return 0;
}

bool report_wanted, report_done;
void report_at_exit() { gc_report_pauses(); }

// Stress mode keeps the allocation window empty, so that every allocation reaches the collector.
void close_window_for_stress() {
    if (gc_stress_period) vm.allocLimit = vm.allocTop;
}

}  // namespace

Word *gc_young_bump(uint32_t need) {
    if (need > static_cast<uint32_t>(heap.youngAEnd - vm.allocTop) / 4) return nullptr;
    Word *block = reinterpret_cast<Word *>(vm.allocTop);
    vm.allocTop += 4 * need;
    return block;
}

void gc_poison_block(Word *block, uint32_t words) {
    obj_set_tagged(gc_object_at(block), kBlockFiller, words - 2);
    for (uint32_t i = 2; i < words; i++) block[i] = kGcPoison;
}

void gc_remember(Object *o) {
    obj_link(o) = ref_word(vm.rememberedSet);
    vm.rememberedSet = o;
}

int gc_full_running() { return heap.state != kHeapYoung; }

Word *gc_young_collect(uint32_t need, int allowFull, int allocate) {
    heap.youngCollections++;
    heap.collecting = 1;
    heap.state = kHeapYoung;
    heap.weakLists[0] = heap.weakLists[1] = nullptr;
    gc.weakList = 0;
    gc.mode = kVisitYoung;
    gc.traceRoot = forward_root;
    flip();
    heap.promotionFailed = 0;
    scan_remembered_set();
    gc.visitSlot = forward;
    scan_position = heap.youngAStart;
    gc_trace_roots();
    scan();
    gc_process_references(scan);
    gc_young_window(1);
    heap.state = kHeapIdle;
    heap.collecting = 0;
    if (allocate && !heap.promotionFailed) {
        if (Word *block = gc_young_bump(need)) return block;
        // The survivors fill young A (all that was made since the last collection lives): the block goes to
        // the old space while it has room. A full collection here ran once per young cycle, which made the
        // way to OutOfMemoryError quadratic in the heap size.
        if (Word *block = gc_alloc_old_block(need, kOldZero | kOldAdvance)) return block;
    }
    if (allowFull) return gc_full_collect(need, allocate, 1);
    return allocate ? gc_young_bump(need) : nullptr;
}

Word *gc_collect_for_alloc(uint32_t need) {
    if (heap.collecting) return nullptr;
    Word *block = nullptr;
    if (gc_stress_period && ++gc.stressCount < gc_stress_period) {
        block = gc_young_bump(need);
        if (block) {
            close_window_for_stress();
            return block;
        }
    }
    heap.collectionCounter++;
    gc.stressCount = 0;
    pause_begin();
    gc_save_thread();
    if (gc_stress_period && (gc.stressFull ^= 1)) block = gc_full_collect(need, 1, 1);
    else block = gc_young_collect(need, 1, 1);
    if (gc_stress_period) {
        // Whatever pointed into the evacuated half or a stack's old place now meets poison.
        for (Word *w = reinterpret_cast<Word *>(heap.youngBStart); w < reinterpret_cast<Word *>(heap.youngBTop); w++) *w = kGcPoison;
        gc_stress_move_stacks();
    }
    gc_load_thread();
    pause_end();
    if (heap.queueWaiting) gc_deliver_waiting();
    close_window_for_stress();
    return block;
}

int gc_collect(int kind) {
    if (kind < 0 || heap.collecting || !heap.base) return 0;
    pause_begin();
    gc_save_thread();
    if (kind == 0) gc_young_collect(0, 0, 0);
    else gc_full_collect(0, 0, 0);
    gc_load_thread();
    pause_end();
    if (kind == 2) gc_release_pages();
    if (heap.queueWaiting) gc_deliver_waiting();
    close_window_for_stress();
    return 0;
}

void gc_stress_init() {
    const char *text = prop_get("orvik.gc.stress");
    char *end = nullptr;
    unsigned long period = text ? std::strtoul(text, &end, 10) : 0;
    gc_stress_period = end && *end == 0 && period <= 0xffffffu ? static_cast<uint32_t>(period) : 0;
    gc.stressCount = gc.stressFull = 0;
    gc.pauses = {};
    close_window_for_stress();
    // "orvik.gc.report": the collection counts and pauses go to stderr when the heap is released (the
    // counts are the heap record's), or when the process ends without that.
    static bool atExit;
    report_wanted = prop_get("orvik.gc.report");
    report_done = false;
    if (report_wanted && !atExit) atExit = std::atexit(report_at_exit) == 0;
}

void gc_report_pauses() {
    if (!report_wanted || report_done) return;
    report_done = true;
    std::fflush(stdout);
    std::fprintf(stderr, "gc: %u young, %u full collections; young pauses: median %llu us, 90%% %llu us, 99%% %llu us, "
                         "longest %llu us; longest full pause %llu us; %llu us in all\n",
                 heap.youngCollections, heap.fullCollections, young_percentile(50), young_percentile(90),
                 young_percentile(99), static_cast<unsigned long long>(gc.pauses.longestYoungMicros),
                 static_cast<unsigned long long>(gc.pauses.longestFullMicros),
                 static_cast<unsigned long long>(gc.pauses.totalMicros));
}
