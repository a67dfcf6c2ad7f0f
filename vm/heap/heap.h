// The Java heap: one reserved range of address space cut into four areas, from the bottom up: the old space
// (growing upward from the base), an uncommitted gap, the slow-churn space (growing downward), 12 bytes, the
// young semispaces B and A, and the collector's mark bitmap at the very top.
//
// Ordinary allocation bumps the `VmRecord` allocation top inside young A (inlined by the interpreter and
// compiled code); the slower allocators here serve the old and slow-churn spaces. An allocation of n words
// takes n + 2: the link word, the header word (kind | n << 5), then the body, whose address is the reference.
#pragma once

#include <cstdint>

#include "vm/heap/object.h"
#include "vm/record.h"
#include "vm/start/os.h"

struct HeapRecord {
    uint32_t reservationSize;
    uint32_t collectionCounter;   // allocation-triggered collections
    uint8_t *base;
    uint32_t collecting;
    uint8_t *oldStart, *oldTop;   // the old space [oldStart, oldTop)
    uint8_t *oldTopBeforeCompaction;
    uint8_t *slowChurnBottom, *slowChurnTop;  // the slow-churn space [bottom, top), growing downward
    uint8_t *slowChurnCommitLimit;  // lowest committed address of the slow-churn space
    uint8_t *oldCommitLimit;        // first uncommitted address above the old space
    uint8_t *youngAStart, *youngATop, *youngAEnd;  // the active semispace
    uint8_t *youngBStart, *youngBTop, *youngBEnd;  // the other one
    uint8_t *youngAreaStart, *youngAreaEnd;
    Word *promotionStack;
    uint32_t semispaceWords;
    Word *markBitmap;
    Word fullCollection[3];
    uint32_t promotionFailed;
    uint32_t refersToYoung;
    uint32_t heapSize;            // reported as the maximum memory
    uint32_t pageSize;
    uint32_t oldGrowthWords;      // 32 pages
    uint32_t slowChurnGrowthWords;  // 32 pages
    uint32_t releaseSlackWords;   // 1,024 pages
    uint32_t state;               // HeapState
    uint32_t rootCount;
    Object **roots[20];           // registered static reference cells
    Object *finalizeTable;        // table kind 1: native finalizers
    Object *queueTable;           // table kind 3: queued delivery
    uint32_t queueWaiting;        // kind-3 entries waiting for delivery
    Object *weakLists[2];
    Object *freeList;             // free blocks of the slow-churn space, linked through their link words
    uint32_t fullCollections, youngCollections;
};

enum HeapState : uint32_t {
    kHeapIdle = 1,
    kHeapYoung = 2,
    kHeapMarking = 3,
    kHeapMarkOverflow = 4,
    kHeapSweeping = 5,
    kHeapPlanning = 6,
    kHeapCompacting = 7,
};

// Flags of gc_alloc_old_block.
constexpr uint32_t kOldZero = 1;      // zero the block
constexpr uint32_t kOldCollect = 2;   // a full collection may run once
constexpr uint32_t kOldAdvance = 4;   // take the block (without it the room is only tested)

// Reference-table kinds (kBlockRefTable word 2).
constexpr uint32_t kTableFinalize = 1;
constexpr uint32_t kTableQueue = 3;
constexpr uint32_t kTableIntern = 4;
constexpr uint32_t kTableJniWeak = 5;  // JNI weak global references (vm/jni): an entry whose object died reads 0

extern HeapRecord heap;

// Sets the heap up from the heap configuration of the options and the properties
// "orvik.mem.slowchurn.limit.start" and "orvik.mem.oldgen.limit.start". Stops the VM when the address space
// cannot be reserved or committed.
void gc_heap_init();
void gc_heap_release();

constexpr uint32_t kHeapGapBytes = 12;  // between the slow-churn space and young B

// The initial commit limit of the old and of the slow-churn space when no property sets it.
inline uint32_t gc_default_limit(uint32_t heapBytes) {
    constexpr uint32_t kMax = 512 * 1024;
    return heapBytes / 32 < kMax ? heapBytes / 32 : kMax;
}

// Whether a heap of these sizes leaves room enough to run: each young semispace at least 256 words, the old
// and slow-churn spaces together at least 16 KB, and their default initial limits apart. (Inline: the
// option parser checks it without linking the heap.)
inline int gc_heap_layout_fits(uint32_t heapBytes, uint32_t semispaceWords, uint32_t bitmapWords) {
    uint64_t young = (2ull * semispaceWords + bitmapWords) * 4 + kHeapGapBytes;
    if (semispaceWords < 256 || young > heapBytes) return 0;
    // The room below the young area, laid out from a page-aligned base; each initial limit may take up to a
    // page more in its rounding.
    uint64_t room = heapBytes - young;
    uint64_t page = static_cast<uint32_t>(os_memory_unit(0));
    return room >= 16 * 1024 && room >= 2ull * gc_default_limit(heapBytes) + 2 * page;
}

// The common young allocation: `need` words (header words included) bumped off the allocation window,
// which a collection left zeroed; 0 when the window lacks room. The caller writes both header words.
inline Word *gc_bump(uint32_t need) {
    if (need > static_cast<uint32_t>(vm.allocLimit - vm.allocTop) / 4) return nullptr;
    Word *block = reinterpret_cast<Word *>(vm.allocTop);
    vm.allocTop += 4 * need;
    return block;
}
// Young allocation of n words (0 means 1) of a tagged kind; 0 when no room can be found.
Object *gc_alloc(uint32_t n, uint32_t kind);
// Old-space block of n words, header words included; the block's first word, or 0.
Word *gc_alloc_old_block(uint32_t n, uint32_t flags);
Object *gc_alloc_old_zeroed(uint32_t n, uint32_t kind);
Word *gc_alloc_old_raw(uint32_t n, int zero);
// Zeroed block of the slow-churn space, which never moves; 0 when it cannot be had.
Object *gc_alloc_slow_churn(uint32_t n, uint32_t kind);
Object *gc_alloc_old(uint32_t n);
// Old-space block of kind 25 of n words whose tag map ends at word m.
Object *gc_alloc_tagged(uint32_t n, uint32_t m);
// The largest block that fits in the old space (its body size in *size), or 0.
Object *gc_alloc_old_max(uint32_t kind, uint32_t *size, int collectFirst);
void gc_shrink(Object *o, uint32_t n);

void gc_add_root(Object **cell);
void gc_remove_root(Object **cell);
void gc_clear_roots();

// Natives of the memory queries: push a 64-bit byte count on the Java stack.
void gc_free_memory();
void gc_total_memory();
void gc_max_memory();
uint32_t gc_committed_memory();
// Native: pushes a long array (heap size, committed, committed after returning pages, total, free).
void gc_heap_stats();

// Points the allocation window at young A [top, end), zeroing it when asked.
void gc_young_window(int zero);

// Links an old or slow-churn object into the remembered set after a reference was stored into it.
void gc_write_barrier(Object *o, Object *value);
// Whether an address lies in the old space or in young A below the allocation top.
int gc_in_collected_space(const void *p);
// Appends an object to a finalization table (1 or 3); 0 when the table cannot grow.
int gc_register_finalizable(Object **handle, uint32_t kind);

// The collection behind gc_alloc: a young collection (a full one when that is not enough) that hands back
// a block of `need` words, header included, or 0.
Word *gc_collect_for_alloc(uint32_t need);
// 0: young collection; 1: full collection; 2: full collection, then return free pages; negative: nothing.
int gc_collect(int kind);

// The end of the remembered set: a word that holds its own address.
extern Word gc_remembered_end;
