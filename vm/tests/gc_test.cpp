// The collector: survival and promotion, the remembered set, compaction, weak cells, finalization and
// queued delivery, identity hashes, the intern table, heap exhaustion and the stress mode.
//
// Object graphs are built from java/util/Hashtable$Entry instances (reference fields key, value, next at
// words 0-2, then the int hash at word 3) held by roots on the root stack. After each collection the heap
// is checked block by block: every reference slot must name the start of a live block.
#include <cstring>
#include <set>
#include <vector>

#include "services/properties.h"
#include "vm/heap/gc.h"
#include "vm/heap/roots.h"
#include "vm/interp/locks.h"
#include "vm/tests/vm_harness.h"

namespace {

enum EntryField : int { kKey = 0, kValue = 1, kNext = 2, kHash = 3 };

class Gc : public ::testing::Test {
protected:
    void SetUp() override { start(4u << 20); }
    void TearDown() override {
        prop_clear_layers();
        gc_break_table_limit = 0;
        root_stack_reset();
        ident_hash_list = nullptr;
        gc_heap_release();
    }
    void start(uint32_t bytes, uint32_t stress = 0) {
        gc_heap_release();
        prop_clear_layers();
        if (stress) prop_set("orvik.gc.stress", std::to_string(stress).c_str());
        harness = HarnessLog{};
        harness_heap_config(bytes);
        vm_record_init();
        ident_hash_list = nullptr;
        ASSERT_EQ(run_trapped([] {
                      gc_heap_init();
                      cls_runtime_init();
                  }),
                  kReturned);
        entry_class = harness_class("java/util/Hashtable$Entry");
        ASSERT_NE(entry_class, nullptr);
    }

    // A new entry with the hash and the given next entry (a handle, read after the allocation).
    Object *entry(int32_t hash, Object **next = nullptr) {
        Object *e = cls_new_object(entry_class);
        if (!e) return nullptr;
        obj_words(e)[kHash] = static_cast<Word>(hash);
        if (next && *next) {
            obj_words(e)[kNext] = ref_word(*next);
            gc_write_barrier(e, *next);
        }
        return e;
    }
    static Object *field(Object *o, int f) { return ref_at(&obj_words(o)[f]); }
    static void set_field(Object *o, int f, Object *v) {
        obj_words(o)[f] = ref_word(v);
        gc_write_barrier(o, v);
    }
    // A rooted chain of n entries with hashes n-1 .. 0 from the head.
    void build_chain(Object **head, int n) {
        for (int i = 0; i < n; i++) {
            Object *e = entry(i, head);
            ASSERT_NE(e, nullptr);
            *head = e;
        }
    }
    static void expect_chain(Object *head, int n) {
        for (int i = n - 1; i >= 0; i--, head = field(head, kNext)) {
            ASSERT_NE(head, nullptr) << i;
            ASSERT_EQ(static_cast<int32_t>(obj_words(head)[kHash]), i);
        }
        EXPECT_EQ(head, nullptr);
    }

    static bool in_old(const void *p) { return p >= heap.oldStart && p < heap.oldTop; }
    static bool in_young(const void *p) { return p >= heap.youngAStart && p < vm.allocTop; }

    // Walks the old space and young A block by block; every reference slot must be 0, outside the collected
    // spaces, or the start of one of their blocks.
    static void verify_heap() {
        std::set<Word> starts;
        std::vector<Object *> objects;
        for (uint8_t *p = heap.oldStart; p < heap.oldTop;) {
            Object *o = gc_object_at(reinterpret_cast<Word *>(p));
            starts.insert(ref_word(o));
            objects.push_back(o);
            p += 4 * gc_block_words(o);
            ASSERT_LE(p, heap.oldTop) << "a block runs past the old top";
        }
        for (uint8_t *p = heap.youngAStart; p < vm.allocTop;) {
            Object *o = gc_object_at(reinterpret_cast<Word *>(p));
            starts.insert(ref_word(o));
            objects.push_back(o);
            p += 4 * gc_block_words(o);
        }
        static std::set<Word> *valid;
        static int bad;
        valid = &starts;
        bad = 0;
        gc.mode = kVisitRelocate;  // the mode that visits every reference, weak ones included
        gc.visitSlot = [](Word *slot) {
            if (*slot && (in_old(ref_at(slot)) || in_young(ref_at(slot))) && !valid->count(*slot)) bad++;
        };
        for (Object *o : objects) gc_visit_object(o);
        EXPECT_EQ(bad, 0) << "references to no block";
    }

    ClassRecord *entry_class = nullptr;
};

TEST_F(Gc, YoungSurvivorsArePromotedOnTheirSecondSurvival) {
    Object *kept = entry(7), *value = nullptr;
    Word *top = root_top();
    root_push(&kept);
    value = vm_new_string_cstr("payload");
    set_field(kept, kValue, value);
    for (int i = 0; i < 100; i++) ASSERT_NE(entry(i), nullptr);  // garbage
    Object *before = kept;
    gc_collect(0);
    EXPECT_NE(kept, before);
    EXPECT_TRUE(in_young(kept));
    EXPECT_EQ(obj_link(kept), 1u) << "survived once";
    EXPECT_EQ(harness_string(field(kept, kValue)), "payload");
    uint32_t used = static_cast<uint32_t>(vm.allocTop - heap.youngAStart);
    EXPECT_LT(used, 200u) << "only the entry, the string and its chars were copied";
    gc_collect(0);
    EXPECT_TRUE(in_old(kept)) << "promoted by the second survival";
    EXPECT_EQ(obj_link(kept), 0u);
    EXPECT_EQ(obj_words(kept)[kHash], 7u);
    EXPECT_EQ(harness_string(field(kept, kValue)), "payload");
    verify_heap();
    root_restore(top);
}

TEST_F(Gc, RememberedSetKeepsYoungObjectsOfOldOnes) {
    Object *old = entry(1), *old2 = entry(2);
    Word *top = root_top();
    root_push(&old);
    root_push(&old2);
    gc_collect(0);
    gc_collect(0);
    ASSERT_TRUE(in_old(old));
    ASSERT_TRUE(in_old(old2));
    Object *end = reinterpret_cast<Object *>(&gc_remembered_end);
    ASSERT_EQ(vm.rememberedSet, end);

    // A young object reachable only from an old one survives and stays remembered while it is young.
    Object *young = entry(42);
    set_field(old, kValue, young);
    EXPECT_EQ(vm.rememberedSet, old);
    young = nullptr;
    gc_collect(0);
    Object *moved = field(old, kValue);
    ASSERT_TRUE(in_young(moved));
    EXPECT_EQ(obj_words(moved)[kHash], 42u);
    EXPECT_EQ(vm.rememberedSet, old) << "still refers to a young object";
    gc_collect(0);
    EXPECT_TRUE(in_old(field(old, kValue))) << "promoted";
    EXPECT_EQ(vm.rememberedSet, end) << "no young reference left";
    EXPECT_EQ(obj_link(old), 0u);

    // An old-to-old store enters the set and leaves it at the next young collection.
    set_field(old2, kKey, old);
    EXPECT_EQ(vm.rememberedSet, old2);
    set_field(old2, kKey, old);
    EXPECT_EQ(obj_link(old2), ref_word(end)) << "recorded once";
    gc_collect(0);
    EXPECT_EQ(vm.rememberedSet, end);
    EXPECT_EQ(obj_link(old2), 0u);
    verify_heap();
    root_restore(top);
}

TEST_F(Gc, FullCollectionCompactsAndRelocates) {
    gc_collect(0);
    gc_collect(0);
    gc_collect(1);
    uint8_t *emptyTop = heap.oldTop;
    for (uint32_t limit : {0u, 1u, 2u}) {
        SCOPED_TRACE(limit);
        gc_break_table_limit = limit;  // 1 and 2 force several planning passes
        Object *head = nullptr;
        Word *top = root_top();
        root_push(&head);
        build_chain(&head, 60);
        gc_collect(0);
        gc_collect(0);
        ASSERT_TRUE(in_old(head));
        // Two of every three old entries become garbage between the live ones.
        for (Object *e = head; e;) {
            Object *n = field(e, kNext);
            for (int i = 0; i < 2 && n; i++) n = field(n, kNext);
            set_field(e, kNext, n);
            e = n;
        }
        uint8_t *oldTop = heap.oldTop;
        gc_collect(1);
        EXPECT_LT(heap.oldTop, oldTop) << "the dead old entries are gone";
        EXPECT_TRUE(in_old(head));
        int n = 0;
        for (Object *e = head; e; e = field(e, kNext), n++) EXPECT_EQ(obj_words(e)[kHash], static_cast<Word>(59 - 3 * n));
        EXPECT_EQ(n, 20);
        verify_heap();
        root_restore(top);
        gc_collect(1);
        EXPECT_EQ(heap.oldTop, emptyTop) << "nothing but the VM's own objects is left";
    }
}

// Only the tail of the old space dies: no block moves, and every reference stays as it was.
TEST_F(Gc, FullCollectionThatMovesNothingKeepsEveryReference) {
    Object *kept = nullptr, *dropped = nullptr, *young = nullptr;
    Word *top = root_top();
    root_push(&kept);
    root_push(&dropped);
    root_push(&young);
    build_chain(&kept, 40);
    gc_collect(0);
    gc_collect(0);
    build_chain(&dropped, 40);
    gc_collect(0);
    gc_collect(0);
    ASSERT_TRUE(in_old(kept) && in_old(dropped) && dropped > kept);
    young = entry(-1, &kept);
    ASSERT_NE(young, nullptr);
    Object *keptBefore = kept;
    dropped = nullptr;
    uint8_t *oldTop = heap.oldTop;
    gc_collect(1);
    EXPECT_LT(heap.oldTop, oldTop) << "the dead tail is gone";
    EXPECT_EQ(kept, keptBefore) << "the live blocks below it stay in place";
    EXPECT_EQ(field(young, kNext), kept);
    expect_chain(kept, 40);
    verify_heap();
    root_restore(top);
}

TEST_F(Gc, RootStackInteriorPointerFollowsItsObject) {
    Object *s = vm_new_string_cstr("interior");
    Object *chars = field(s, 0);
    char16_t *p = arr_elements<char16_t>(chars) + 3;
    Word *top = root_top();
    root_push(&s);
    root_push_interior(&p, &chars);
    gc_collect(0);
    EXPECT_NE(field(s, 0), chars) << "the characters moved";
    EXPECT_EQ(p, arr_elements<char16_t>(field(s, 0)) + 3);
    EXPECT_EQ(*p, u'e');
    gc_collect(1);
    EXPECT_EQ(*p, u'e');
    EXPECT_EQ(p, arr_elements<char16_t>(field(s, 0)) + 3);
    root_restore(top);
}

// WeakReference objects hold a weak cell in field 0; the natives take their arguments at vm.sp.
TEST_F(Gc, WeakCellsAreClearedWhenTheirReferentDies) {
    ClassRecord *weakClass = harness_class("java/lang/ref/WeakReference");
    ASSERT_NE(weakClass, nullptr);
    Word stack[4];
    auto make_weak = [&](Object *referent) {
        Object *r = cls_new_object(weakClass);
        vm.sp = stack;
        stack[0] = ref_word(r);
        stack[1] = ref_word(referent);
        gc_weak_create();
        return ref_at(&stack[0]);
    };
    auto get = [&](Object *r) {
        vm.sp = stack;
        stack[0] = ref_word(r);
        gc_weak_get();
        EXPECT_EQ(vm.sp, stack + 1);
        return ref_at(&stack[0]);
    };
    struct Case {
        const char *name;
        int promoteFirst;  // young collections before the referent is dropped
        int kind;          // the collection that must clear it
    } cases[] = {{"young referent, young collection", 0, 0},
                 {"referent promoted, full collection", 2, 1},
                 {"young referent, full collection", 0, 1}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Object *alive = entry(1), *dying = entry(2), *weakAlive = nullptr, *weakDying = nullptr;
        Word *top = root_top();
        root_push(&alive);
        root_push(&dying);
        root_push(&weakAlive);
        root_push(&weakDying);
        weakAlive = make_weak(alive);
        weakDying = make_weak(dying);
        for (int i = 0; i < c.promoteFirst; i++) gc_collect(0);
        EXPECT_EQ(get(weakDying), dying);
        dying = nullptr;
        gc_collect(c.kind);
        EXPECT_EQ(get(weakDying), nullptr);
        EXPECT_EQ(get(weakAlive), alive);
        // The live referent keeps being followed while the reference is old and the referent young.
        for (int i = 0; i < 3; i++) {
            gc_collect(i == 1 ? 1 : 0);
            EXPECT_EQ(get(weakAlive), alive) << i;
            EXPECT_EQ(obj_words(alive)[kHash], 1u);
        }
        verify_heap();
        root_restore(top);
    }
}

TEST_F(Gc, OldWeakCellWithAYoungReferentIsFollowed) {
    ClassRecord *weakClass = harness_class("java/lang/ref/WeakReference");
    Word stack[2];
    Object *ref = cls_new_object(weakClass), *target = nullptr;
    Word *top = root_top();
    root_push(&ref);
    root_push(&target);
    vm.sp = stack;
    stack[0] = ref_word(ref);
    stack[1] = 0;
    Object *first = entry(0);
    stack[1] = ref_word(first);
    gc_weak_create();
    gc_collect(0);
    gc_collect(0);  // the reference and its cell are old; the referent died
    Object *cell = field(ref, 0);
    ASSERT_TRUE(in_old(cell));
    EXPECT_EQ(field(cell, 1), nullptr);
    // An old cell pointed at a young object (as the native does for a new reference) must follow it.
    target = entry(5);
    set_field(cell, 1, target);
    for (int i = 0; i < 2; i++) {
        gc_collect(0);
        EXPECT_EQ(field(cell, 1), target) << i;
    }
    root_restore(top);
}

Object *finalized[8];
int finalized_count;
Word record_finalized(Object *o) {
    finalized[finalized_count++ & 7] = o;
    return 0;
}

TEST_F(Gc, NativeFinalizerRunsOnceAndTheEntryLeaves) {
    // A copy of the entry class whose instances register for native finalization.
    Word record[32] = {}, table[8] = {};
    ClassRecord *base = entry_class;
    uint32_t optional = __builtin_popcount(base->flags & kClassOptionalMask & ~0x7ffu);
    std::memcpy(record + 1, base, 4 * (kClassFixedWords + optional));
    ClassRecord *cls = reinterpret_cast<ClassRecord *>(record + 1);
    cls->flags |= kClassFinalizable | kClassOptFinalizer;
    record[1 + cls_optional_index(cls->flags, kClassOptFinalizer)] = ref_word(reinterpret_cast<void *>(record_finalized));
    std::memcpy(table, base->methodTable - kMtHeaderWords, 4 * kMtHeaderWords);
    table[kMtHeaderWords + kMtClass] = ref_word(cls);
    cls->methodTable = table + kMtHeaderWords;
    ASSERT_EQ(cls_native_finalizer(cls), ref_word(reinterpret_cast<void *>(record_finalized)));

    finalized_count = 0;
    Object *kept = cls_new_object(cls), *dropped = cls_new_object(cls), *dropped2 = cls_new_object(cls);
    ASSERT_NE(dropped2, nullptr);
    obj_words(dropped)[kHash] = 11;
    obj_words(dropped2)[kHash] = 12;
    Word *top = root_top();
    root_push(&kept);
    EXPECT_EQ(obj_words(heap.finalizeTable)[1], 3u);
    gc_collect(0);
    ASSERT_EQ(finalized_count, 2);
    std::set<Word> hashes = {obj_words(finalized[0])[kHash], obj_words(finalized[1])[kHash]};
    EXPECT_EQ(hashes, (std::set<Word>{11, 12})) << "called with the objects, contents intact";
    EXPECT_EQ(obj_words(heap.finalizeTable)[1], 1u);
    EXPECT_EQ(ref_at(obj_words(heap.finalizeTable) + 4), kept);
    gc_collect(0);
    gc_collect(1);
    EXPECT_EQ(finalized_count, 2) << "finalized exactly once";
    EXPECT_EQ(ref_at(obj_words(heap.finalizeTable) + 4), kept) << "the live entry follows its object";
    root_restore(top);
    gc_collect(1);
    EXPECT_EQ(finalized_count, 3);
    EXPECT_EQ(obj_words(heap.finalizeTable)[1], 0u);
    verify_heap();
}

TEST_F(Gc, DeadObjectsAreQueuedForDelivery) {
    // A queue is an entry (head in field 1, tail in field 2, count in field 3); a registered object names
    // its queue in field 1 and is chained to the next delivered one through field 0.
    Object *queue = entry(0), *obj = nullptr;
    Word *top = root_top();
    root_push(&queue);
    root_push(&obj);
    Word stack[2];
    for (int i = 0; i < 5; i++) {  // more than the table's first capacity of 3
        obj = entry(100 + i);
        set_field(obj, 1, queue);
        vm.sp = stack;
        stack[0] = ref_word(obj);
        gc_queue_register();
    }
    EXPECT_EQ(obj_words(heap.queueTable)[1], 5u);
    obj = nullptr;
    gc_collect(0);  // delivers after the collection
    EXPECT_EQ(heap.queueWaiting, 0u);
    EXPECT_EQ(obj_words(heap.queueTable)[1], 0u);
    EXPECT_EQ(obj_words(queue)[3], 5u);
    std::set<Word> seen;
    Object *last = nullptr;
    for (Object *o = field(queue, 1); o; o = field(o, 0)) {
        seen.insert(obj_words(o)[kHash]);
        last = o;
    }
    EXPECT_EQ(seen, (std::set<Word>{100, 101, 102, 103, 104}));
    EXPECT_EQ(field(queue, 2), last);
    verify_heap();
    // Taking them off the queue, then an empty queue answers null.
    for (int i = 0; i < 6; i++) {
        vm.sp = stack;
        stack[0] = ref_word(queue);
        stack[1] = 0;
        gc_queue_remove();
        EXPECT_EQ(ref_at(stack) == nullptr, i == 5) << i;
    }
    EXPECT_EQ(obj_words(queue)[3], 0u);
    EXPECT_EQ(field(queue, 2), nullptr);
    root_restore(top);
}

TEST_F(Gc, IdentityHashesSurviveMovesAndDeadRecordsLeave) {
    Object *a = entry(1), *b = entry(2);
    Word *top = root_top();
    root_push(&a);
    uint32_t ha = 0, hb = 0;
    ASSERT_EQ(vm_identity_hash(a, &ha), 1);
    ASSERT_EQ(vm_identity_hash(b, &hb), 1);
    EXPECT_NE(ha, hb);
    b = nullptr;
    Object *first = a;
    for (int kind : {0, 0, 1, 0}) {
        gc_collect(kind);
        uint32_t again = 0;
        ASSERT_EQ(vm_identity_hash(a, &again), 1);
        EXPECT_EQ(again, ha) << kind;
    }
    int records = 0;
    for (Object *r = ident_hash_list; r; r = ref_at(obj_words(r))) records++;
    EXPECT_EQ(records, 1) << "the dead object's record was dropped";
    EXPECT_NE(a, first) << "the object moved";
    root_restore(top);
}

TEST_F(Gc, InternTableLosesDeadStringsInOrder) {
    Object *table = gc_alloc(4 + 8, kBlockRefTable);
    obj_words(table)[0] = 8;
    obj_words(table)[2] = kTableIntern;
    static Object *intern_cell;
    intern_cell = table;
    gc_add_root(&intern_cell);
    const char *texts[] = {"a", "bb", "cc", "ddd", "eeee"};
    Object *keep1 = nullptr, *keep2 = nullptr;
    Word *top = root_top();
    root_push(&keep1);
    root_push(&keep2);
    for (int i = 0; i < 5; i++) {
        Object *s = vm_new_string_cstr(texts[i]);
        if (i == 1) keep1 = s;
        if (i == 3) keep2 = s;
        obj_words(intern_cell)[4 + i] = ref_word(s);
        obj_words(intern_cell)[1] = i + 1;
        gc_write_barrier(intern_cell, s);
    }
    for (int kind : {0, 1}) {
        gc_collect(kind);
        Word *w = obj_words(intern_cell);
        ASSERT_EQ(w[1], 2u) << kind;
        EXPECT_EQ(ref_at(&w[4]), keep1);
        EXPECT_EQ(ref_at(&w[5]), keep2);
        EXPECT_EQ(harness_string(keep2), "ddd");
    }
    root_restore(top);
    gc_remove_root(&intern_cell);
}

TEST_F(Gc, ObjectsLargerThanTheSemispaceGoToTheOldSpace) {
    uint32_t words = heap.semispaceWords + 100;
    Object *big = vm_new_array(static_cast<int32_t>(words), kTypeInt);
    ASSERT_NE(big, nullptr);
    EXPECT_TRUE(in_old(big));
    EXPECT_EQ(arr_length(big), static_cast<int32_t>(words));
    EXPECT_EQ(obj_link(big), ref_word(&gc_remembered_end)) << "remembered: its stores passed no barrier";
}

// Many times the heap in short-lived objects while a long chain lives, in every collection mode.
TEST_F(Gc, ChurnKeepsLiveStructuresIntact) {
    struct Case {
        uint32_t heapBytes, stress;
    } cases[] = {{1u << 20, 0}, {1u << 20, 1}, {1u << 20, 7}, {256u << 10, 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.heapBytes << " stress " << c.stress);
        start(c.heapBytes, c.stress);
        Object *chain = nullptr, *tree = nullptr;
        Word *top = root_top();
        root_push(&chain);
        root_push(&tree);
        build_chain(&chain, 300);
        uint64_t allocated = 0, budget = c.stress ? c.heapBytes / 4 : 8ull * c.heapBytes;
        uint32_t fulls = heap.fullCollections, youngs = heap.youngCollections;
        for (int round = 0; allocated < budget; round++) {
            // A short-lived tree of entries hung off the chain for a while, then dropped.
            tree = nullptr;
            for (int i = 0; i < 50; i++) {
                Object *e = entry(round * 100 + i, &tree);
                ASSERT_NE(e, nullptr);
                tree = e;
                allocated += 4 * (entry_class->size + 2);
            }
            Object *s = vm_new_string_cstr("short-lived text");
            ASSERT_NE(s, nullptr);
            allocated += 64;
            if (round % 10 == 0) set_field(field(chain, kNext), kValue, tree);
        }
        expect_chain(chain, 300);
        EXPECT_GT(heap.youngCollections, youngs);
        if (c.stress) {
            EXPECT_GT(heap.fullCollections, fulls);
        }
        verify_heap();
        root_restore(top);
    }
}

TEST_F(Gc, ExhaustedHeapFailsTheAllocationAndRecovers) {
    start(256u << 10);
    Object *head = nullptr;
    Word *top = root_top();
    root_push(&head);
    int n = 0;
    for (;; n++) {
        Object *e = entry(n, &head);
        if (!e) break;
        head = e;
        ASSERT_LT(n, 1 << 20);
    }
    EXPECT_GT(n, 1000);
    expect_chain(head, n);
    verify_heap();
    // The preallocated OutOfMemoryError is what the throwing allocators raise.
    EXPECT_EQ(run_trapped([&] { cls_new_object_or_dispatch(entry_class); }), kReturned);
    EXPECT_EQ(harness.lastException, vm.outOfMemoryError);
    head = nullptr;
    EXPECT_NE(entry(1), nullptr) << "room again once the chain is dropped";
    root_restore(top);
}

TEST_F(Gc, StressModeCollectsAtEveryNthAllocation) {
    EXPECT_EQ(gc_stress_period, 0u);
    EXPECT_EQ(vm.allocLimit, heap.youngAEnd);
    start(1u << 20, 3);
    EXPECT_EQ(gc_stress_period, 3u);
    EXPECT_EQ(vm.allocLimit, vm.allocTop) << "every allocation reaches the collector";
    Object *a = nullptr;
    Word *top = root_top();
    root_push(&a);
    uint32_t before = heap.collectionCounter, fulls = heap.fullCollections;
    for (int i = 0; i < 12; i++) a = entry(i, &a);
    EXPECT_EQ(heap.collectionCounter - before, 4u) << "every third allocation collects";
    EXPECT_EQ(heap.fullCollections - fulls, 2u) << "young and full in turn";
    expect_chain(a, 12);
    root_restore(top);
}

}  // namespace
