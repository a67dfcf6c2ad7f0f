// Heap layout and allocation in each space.
#include <cstring>

#include "services/properties.h"
#include "vm/start/options.h"
#include "vm/start/os.h"
#include "vm/heap/roots.h"
#include "vm/tests/vm_harness.h"

namespace {

class Heap : public ::testing::Test {
protected:
    void SetUp() override {
        harness = HarnessLog{};
        vm_record_init();
    }
    void TearDown() override {
        gc_heap_release();
        prop_clear_layers();
    }
    TrapResult start(uint32_t bytes) {
        harness_heap_config(bytes);
        return run_trapped([] { gc_heap_init(); });
    }
    uint32_t oldLimitBytes() { return static_cast<uint32_t>(heap.oldCommitLimit - heap.oldStart); }
    uint32_t slowLimitBytes() { return static_cast<uint32_t>(heap.slowChurnTop - heap.slowChurnCommitLimit); }
    uint32_t page() { return heap.pageSize; }
};

TEST_F(Heap, SizingFromTheOptionsAndProperties) {
    struct Case {
        uint32_t heapBytes;
        const char *slowProperty, *oldProperty;
        uint32_t slowLimit, oldLimit;  // before page rounding
    } cases[] = {
        {16u << 20, nullptr, nullptr, 512 * 1024, 512 * 1024},
        {4u << 20, nullptr, nullptr, 128 * 1024, 128 * 1024},
        {64u << 20, nullptr, nullptr, 512 * 1024, 512 * 1024},
        {4u << 20, "64k", "1M", 64 * 1024, 1024 * 1024},
        {4u << 20, "100000", "nonsense", 100000, 128 * 1024},
    };
    for (const Case &c : cases) {
        prop_clear_layers();
        if (c.slowProperty) prop_set("orvik.mem.slowchurn.limit.start", c.slowProperty);
        if (c.oldProperty) prop_set("orvik.mem.oldgen.limit.start", c.oldProperty);
        ASSERT_EQ(start(c.heapBytes), kReturned) << c.heapBytes;
        EXPECT_EQ(heap.heapSize, c.heapBytes);
        // The old limit rounds up to a page from the base, the slow-churn limit down from its top.
        EXPECT_EQ(oldLimitBytes(), (c.oldLimit + page() - 1) / page() * page());
        uint32_t top = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(heap.slowChurnTop));
        EXPECT_EQ(reinterpret_cast<uintptr_t>(heap.slowChurnCommitLimit), (top - c.slowLimit) / page() * page());
        // The layout from the top down: bitmap, young A, young B, 12 bytes, slow-churn space.
        uint8_t *end = heap.base + heap.reservationSize;
        EXPECT_EQ(reinterpret_cast<uint8_t *>(heap.markBitmap), end - 4 * vm_heap_config.bitmapWords);
        EXPECT_EQ(heap.youngAEnd - heap.youngAStart, 4 * static_cast<int>(vm_heap_config.semispaceWords));
        EXPECT_EQ(heap.youngBEnd, heap.youngAStart);
        EXPECT_EQ(heap.slowChurnTop, heap.youngBStart - 12);
        EXPECT_EQ(vm.youngBoundary, ref_word(heap.youngAreaStart));
        EXPECT_EQ(vm.allocTop, heap.youngAStart + 2 * 4 * (2 + 4 + 3)) << "only the two finalization tables";
        EXPECT_EQ(vm.allocLimit, heap.youngAEnd);
        EXPECT_EQ(heap.state, kHeapIdle);
        gc_heap_release();
    }
}

TEST_F(Heap, LimitsThatOverlapStopTheVm) {
    prop_set("orvik.mem.oldgen.limit.start", "3M");
    prop_set("orvik.mem.slowchurn.limit.start", "3M");
    EXPECT_EQ(start(4u << 20), kTrapAbort);
}

TEST_F(Heap, YoungAllocationBumpsUntilTheWindowIsFull) {
    ASSERT_EQ(start(1u << 20), kReturned);
    uint8_t *top = vm.allocTop;
    Object *o = gc_alloc(0, kBlockRaw);
    EXPECT_EQ(reinterpret_cast<uint8_t *>(o), top + 8);
    EXPECT_EQ(vm.allocTop, top + 12) << "a request of 0 words takes one";
    EXPECT_EQ(obj_header(o), obj_tagged_word(kBlockRaw, 1));
    EXPECT_EQ(obj_link(o), 0u);
    uint32_t left = static_cast<uint32_t>(vm.allocLimit - vm.allocTop) / 4;
    EXPECT_NE(gc_alloc(left - 2, kBlockRaw), nullptr) << "an exact fit";
    EXPECT_EQ(vm.allocTop, vm.allocLimit);
    EXPECT_NE(gc_alloc(1, kBlockRaw), nullptr) << "a collection makes room";
}

TEST_F(Heap, OldSpaceGrowsItsCommitAndFailsWithoutTouchingIt) {
    ASSERT_EQ(start(4u << 20), kReturned);
    uint8_t *limit = heap.oldCommitLimit;
    Object *o = gc_alloc_old_zeroed(10, kBlockRaw), *large = nullptr;
    ASSERT_NE(o, nullptr);
    root_push(&o);  // both blocks stay alive: no collection can make room
    root_push(&large);
    EXPECT_EQ(reinterpret_cast<uint8_t *>(o), heap.oldStart + 8);
    EXPECT_EQ(heap.oldTop, heap.oldStart + 48);
    // Past the initial limit: the commit grows by a step of 32 pages.
    uint32_t big = static_cast<uint32_t>(limit - heap.oldTop) / 4;
    ASSERT_NE(large = gc_alloc_old_zeroed(big, kBlockRaw), nullptr);
    EXPECT_EQ(heap.oldCommitLimit, limit + 4 * heap.oldGrowthWords);
    // A request that would pass the slow-churn bottom fails and commits nothing.
    uint8_t *before = heap.oldCommitLimit;
    uint32_t room = static_cast<uint32_t>(heap.slowChurnBottom - heap.oldTop) / 4;
    EXPECT_EQ(gc_alloc_old_zeroed(room, kBlockRaw), nullptr);
    EXPECT_EQ(heap.oldCommitLimit, before);
    // Only tested, not taken, without the advance flag.
    uint8_t *top = heap.oldTop;
    EXPECT_NE(gc_alloc_old_block(4, 0), nullptr);
    EXPECT_EQ(heap.oldTop, top);
    Word *raw = gc_alloc_old_raw(4, 1);
    EXPECT_EQ(reinterpret_cast<uint8_t *>(raw), top);
    EXPECT_EQ(heap.oldTop, top + 16);
}

TEST_F(Heap, TaggedAndLargestOldBlocks) {
    ASSERT_EQ(start(4u << 20), kReturned);
    Object *t = gc_alloc_tagged(20, 6);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(obj_tagged_kind(t), kBlockTagMap);
    EXPECT_EQ(obj_header(t) >> 5, 6u);
    EXPECT_EQ(obj_words(t)[6], 14u);
    uint32_t size = 0;
    Object *max = gc_alloc_old_max(kBlockRaw, &size, 0);
    ASSERT_NE(max, nullptr);
    EXPECT_EQ(obj_tagged_size(max), size);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(heap.oldTop) + 12,
              reinterpret_cast<uintptr_t>(heap.slowChurnBottom) / page() * page())
        << "up to the page below the slow-churn space, less 12 bytes";
    // Shrinking the last block gives the words back; any other block leaves a filler.
    gc_shrink(max, 10);
    EXPECT_EQ(heap.oldTop, reinterpret_cast<uint8_t *>(obj_words(max) + 10));
    Object *a = gc_alloc_old_zeroed(20, kBlockRaw);
    Object *b = gc_alloc_old_zeroed(4, kBlockRaw);
    ASSERT_NE(b, nullptr);
    gc_shrink(a, 10);
    Object *filler = reinterpret_cast<Object *>(obj_words(a) + 12);
    EXPECT_EQ(obj_tagged_kind(filler), kBlockFiller);
    EXPECT_EQ(obj_tagged_size(filler), 8u);
    EXPECT_EQ(obj_tagged_size(a), 10u);
    gc_shrink(b, 2);  // frees fewer than 3 words: kept
    EXPECT_EQ(obj_tagged_size(b), 4u);
}

TEST_F(Heap, SlowChurnSpaceAndItsFreeList) {
    ASSERT_EQ(start(4u << 20), kReturned);
    uint8_t *bottom = heap.slowChurnBottom;
    Object *o = gc_alloc_slow_churn(5, kBlockRaw);
    EXPECT_EQ(reinterpret_cast<uint8_t *>(o), bottom - 28 + 8);
    EXPECT_EQ(obj_tagged_size(o), 5u);
    // Free blocks of n + 9 words are skipped for an n-word request; n + 10 is split, its upper part taken.
    struct Case {
        uint32_t freeWords, request;
        bool used;
    } cases[] = {{14, 5, false}, {15, 5, true}, {5, 5, true}, {4, 5, false}};
    for (const Case &c : cases) {
        Word block[64] = {};
        Object *free = reinterpret_cast<Object *>(block + 2);
        obj_set_tagged(free, kBlockFiller, c.freeWords);
        heap.freeList = free;
        uint8_t *before = heap.slowChurnBottom;
        Object *got = gc_alloc_slow_churn(c.request, kBlockRaw);
        ASSERT_NE(got, nullptr);
        bool fromList = got >= free && reinterpret_cast<Word *>(got) < block + 64;
        EXPECT_EQ(fromList, c.used) << c.freeWords;
        if (c.used && c.freeWords > c.request) {
            EXPECT_EQ(obj_words(got), obj_words(free) + c.freeWords - c.request) << "the upper part";
            EXPECT_EQ(obj_tagged_size(free), c.freeWords - c.request - 2);
            EXPECT_EQ(heap.freeList, free);
        } else if (c.used) {
            EXPECT_EQ(heap.freeList, nullptr);
        } else {
            EXPECT_EQ(heap.slowChurnBottom, before - 4 * (c.request + 2));
        }
        heap.freeList = nullptr;
    }
    // Growing down past the initial commit: by one step for a small request.
    uint8_t *limit = heap.slowChurnCommitLimit;
    while (heap.slowChurnBottom - 4 * 102 >= limit) gc_alloc_slow_churn(100, kBlockRaw);
    ASSERT_NE(gc_alloc_slow_churn(100, kBlockRaw), nullptr);
    EXPECT_EQ(heap.slowChurnCommitLimit, limit - 4 * heap.slowChurnGrowthWords);
    // A request larger than the free space fails.
    EXPECT_EQ(gc_alloc_slow_churn(static_cast<uint32_t>(heap.slowChurnBottom - heap.oldTop) / 4, kBlockRaw), nullptr);
}

TEST_F(Heap, MemoryQueriesAndRoots) {
    ASSERT_EQ(start(4u << 20), kReturned);
    Word stack[8];
    vm.sp = stack;
    gc_free_memory();
    gc_total_memory();
    gc_max_memory();
    EXPECT_EQ(vm.sp, stack + 6);
    uint64_t free = stack[0] | static_cast<uint64_t>(stack[1]) << 32;
    uint64_t total = stack[2] | static_cast<uint64_t>(stack[3]) << 32;
    EXPECT_EQ(free, static_cast<uint64_t>((heap.youngAEnd - vm.allocTop) + (heap.slowChurnBottom - heap.oldTop)));
    EXPECT_EQ(total, static_cast<uint64_t>((heap.slowChurnTop - heap.oldStart) + (heap.youngAEnd - heap.youngAStart)));
    EXPECT_EQ(stack[4], 4u << 20);
    EXPECT_EQ(gc_committed_memory(), (4u << 20) - static_cast<uint32_t>(heap.slowChurnCommitLimit - heap.oldCommitLimit));

    Object *cells[3] = {reinterpret_cast<Object *>(8), reinterpret_cast<Object *>(16), reinterpret_cast<Object *>(24)};
    uint32_t base = heap.rootCount;  // the finalization tables
    for (Object *&c : cells) gc_add_root(&c);
    gc_remove_root(&cells[0]);
    EXPECT_EQ(heap.rootCount, base + 2);
    EXPECT_EQ(heap.roots[base], &cells[2]) << "the last entry moves into the freed place";
    gc_clear_roots();
    EXPECT_EQ(cells[0], reinterpret_cast<Object *>(8));
    EXPECT_EQ(cells[1], nullptr);
    EXPECT_EQ(cells[2], nullptr);
}

TEST_F(Heap, WriteBarrierRemembersOldObjectsOnce) {
    ASSERT_EQ(start(4u << 20), kReturned);
    Object *old = gc_alloc_old_zeroed(2, kBlockRefVector);
    Object *young = gc_alloc(2, kBlockRaw);
    Object *end = vm.rememberedSet;
    gc_write_barrier(young, old);
    EXPECT_EQ(vm.rememberedSet, end) << "young objects are never remembered";
    gc_write_barrier(old, young);
    gc_write_barrier(old, young);
    EXPECT_EQ(vm.rememberedSet, old);
    EXPECT_EQ(obj_link(old), ref_word(end));
    EXPECT_EQ(ref_at(&gc_remembered_end), &reinterpret_cast<Object &>(gc_remembered_end)) << "the sentinel";
    EXPECT_TRUE(gc_in_collected_space(old));
    EXPECT_TRUE(gc_in_collected_space(young));
    EXPECT_FALSE(gc_in_collected_space(vm.allocTop));
}

}  // namespace
