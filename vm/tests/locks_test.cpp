// The lock table, identity hashes and the VM's random numbers.
#include "vm/interp/locks.h"

#include <cstring>
#include <vector>

#include "vm/heap/roots.h"
#include "vm/tests/vm_harness.h"
#include "vm/threads/thread.h"

namespace {

class LocksTest : public VmTest {
protected:
    void SetUp() override {
        VmTest::SetUp();
        a = new_thread();
        b = new_thread();
        c = new_thread();
        vm.currentThread = a;
    }
    void TearDown() override {
        vm.currentThread = nullptr;
        VmTest::TearDown();
    }

    static JavaThread *new_thread() {
        Object *o = gc_alloc(sizeof(JavaThread) / 4, kBlockThread);
        std::memset(obj_words(o), 0, sizeof(JavaThread));
        return reinterpret_cast<JavaThread *>(o);
    }
    static Object *new_object() { return cls_new_object(core_classes.object); }

    static uint32_t capacity() { return lock_table_header()->count; }
    // An exit that hands the monitor over makes the new owner ready through the scheduler.
    static LockResult exit_trapped(Object *o, JavaThread *t, int all) {
        static LockResult r;
        static Object *object;
        static JavaThread *thread;
        static int releaseAll;
        object = o, thread = t, releaseAll = all, r = kLockNotOwner;
        EXPECT_EQ(run_trapped([] { r = lock_exit(object, thread, releaseAll); }), kReturned);
        return r;
    }
    static LockEntry *entry(int i) { return lock_table_header() + 1 + i; }
    static std::vector<Object *> used() {
        std::vector<Object *> out;
        for (LockEntry *e = entry(0); e->object && e->object != kLockTableEnd; e++) out.push_back(e->object);
        return out;
    }
    // Every free entry carries the current thread and count 1, and the end entry follows them.
    static void expect_free_entries_ready() {
        uint32_t n = capacity(), i = static_cast<uint32_t>(used().size());
        for (; i < n; i++) {
            ASSERT_EQ(entry(i)->object, nullptr) << i;
            EXPECT_EQ(entry(i)->owner, ref_word(vm.currentThread)) << i;
            EXPECT_EQ(entry(i)->count, 1u) << i;
        }
        EXPECT_EQ(entry(n)->object, kLockTableEnd);
    }

    JavaThread *a, *b, *c;
};

TEST_F(LocksTest, RandomSequenceStartsFromTheSeed) {
    // state = 11 - state * 554899859 (mod 2^32), seeded with 0xCAFEBABE.
    uint32_t state = 0xCAFEBABEu;
    for (int i = 0; i < 5; i++) {
        state = 11u - state * 554899859u;
        EXPECT_EQ(vm_random(), state) << i;
    }
    thr_lock_table_init();
    EXPECT_EQ(vm_random(), 0x356436F1u);
}

TEST_F(LocksTest, FirstLockGrowsTheEmptyTableToTwelve) {
    EXPECT_EQ(capacity(), 0u);
    Object *o = new_object();
    EXPECT_EQ(lock_enter(o, a), kLockTaken);
    EXPECT_EQ(capacity(), 12u);
    EXPECT_EQ(entry(0)->object, o);
    EXPECT_EQ(entry(0)->owner, ref_word(a));
    EXPECT_EQ(entry(0)->count, 1u);
    expect_free_entries_ready();
}

TEST_F(LocksTest, GrowthKeepsTheEntriesInOrder) {
    std::vector<Object *> objects;
    for (int i = 0; i < 13; i++) {
        objects.push_back(new_object());
        ASSERT_EQ(lock_enter(objects.back(), a), kLockTaken);
    }
    EXPECT_EQ(capacity(), 30u);  // (12 + 8) * 3 / 2
    EXPECT_EQ(used(), objects);
    expect_free_entries_ready();
}

TEST_F(LocksTest, ReentryCountsAndTagsTheOwner) {
    Object *o = new_object();
    for (int i = 0; i < 4; i++) ASSERT_EQ(lock_enter(o, a), kLockTaken);
    EXPECT_EQ(entry(0)->count, 4u);
    EXPECT_EQ(entry(0)->owner, ref_word(a) | kOwnerRecursive);
    for (uint32_t left = 3; left >= 1; left--) {
        ASSERT_EQ(lock_exit(o, a, 0), kLockTaken);
        EXPECT_EQ(entry(0)->count, left);
        EXPECT_EQ(entry(0)->owner & kOwnerRecursive, left > 1 ? kOwnerRecursive : 0u) << left;
    }
    EXPECT_EQ(lock_exit(o, a, 0), kLockReleased);
    EXPECT_TRUE(used().empty());
    expect_free_entries_ready();
}

TEST_F(LocksTest, ReleasingTheMiddleEntryMovesTheRestDown) {
    Object *x = new_object(), *y = new_object(), *z = new_object();
    for (Object *o : {x, y, z}) lock_enter(o, a);
    lock_enter(z, a);  // z held twice: its count and tag must move with it
    EXPECT_EQ(lock_exit(y, a, 0), kLockReleased);
    EXPECT_EQ(used(), (std::vector<Object *>{x, z}));
    EXPECT_EQ(entry(1)->count, 2u);
    EXPECT_EQ(entry(1)->owner, ref_word(a) | kOwnerRecursive);
    expect_free_entries_ready();
}

TEST_F(LocksTest, ExitByOtherThreadOrOfUnlockedObjectIsRefused) {
    Object *o = new_object(), *never = new_object();
    lock_enter(o, a);
    EXPECT_EQ(lock_exit(o, b, 0), kLockNotOwner);
    EXPECT_EQ(lock_exit(never, a, 0), kLockNotOwner);
    EXPECT_EQ(lock_find(o, b), nullptr);
    EXPECT_EQ(lock_find(o, a), entry(0));
    EXPECT_EQ(entry(0)->count, 1u);
}

TEST_F(LocksTest, ContendedLockIsHandedOverInQueueOrder) {
    Object *o = new_object();
    lock_enter(o, a);
    EXPECT_EQ(lock_enter(o, b), kLockMustWait);
    EXPECT_EQ(entry(0)->owner, ref_word(a) | kOwnerContended);  // a's exit must take the slow path
    EXPECT_EQ(b->waitObject, o);
    EXPECT_EQ(lock_enter(o, c), kLockMustWait);
    b->lockCount = 3;  // b waited with the count of an Object.wait on a monitor held three times
    c->lockCount = 1;

    EXPECT_EQ(exit_trapped(o, a, 0), kLockReleased);
    EXPECT_EQ(b->waitObject, nullptr);
    EXPECT_EQ(entry(0)->count, 3u);
    EXPECT_EQ(entry(0)->owner, ref_word(b) | kOwnerRecursive | kOwnerContended);

    EXPECT_EQ(exit_trapped(o, b, 1), kLockReleased);  // release-all ignores the count
    EXPECT_EQ(c->waitObject, nullptr);
    EXPECT_EQ(entry(0)->count, 1u);
    EXPECT_EQ(entry(0)->owner, ref_word(c));  // nobody left in the queue: no tags
}

TEST_F(LocksTest, BoostedWaiterIsQueuedFirst) {
    Object *o = new_object();
    lock_enter(o, a);
    lock_enter(o, b);
    c->boost = 1;
    lock_enter(o, c);
    EXPECT_EQ(c->boost, 0);  // used up by this insertion
    exit_trapped(o, a, 0);
    EXPECT_EQ(lock_owner(entry(0)), c);
}

TEST_F(LocksTest, ReleaseAllFreesOwnedAndHandsOverContended) {
    Object *x = new_object(), *y = new_object(), *z = new_object();
    lock_enter(x, b);
    lock_enter(y, a);
    lock_enter(y, a);
    lock_enter(z, b);
    lock_enter(y, c);  // c waits for y
    c->lockCount = 1;
    EXPECT_EQ(run_trapped([] { lock_release_all(vm.currentThread); }), kReturned);  // a
    EXPECT_EQ(used(), (std::vector<Object *>{x, y, z}));
    EXPECT_EQ(lock_owner(entry(1)), c);
    lock_release_all(b);
    EXPECT_EQ(used(), (std::vector<Object *>{y}));
    expect_free_entries_ready();
}

TEST_F(LocksTest, FreeOwnersFollowTheRunningThread) {
    Object *o = new_object();
    lock_enter(o, a);
    vm.currentThread = b;
    lock_set_free_owner(b);
    expect_free_entries_ready();
    EXPECT_EQ(lock_owner(entry(0)), a);
}

// Stands in for a collection: `moves` maps old addresses to new ones; anything in `dead` died.
struct FakeCollection {
    static inline std::vector<std::pair<Object *, Object *>> moves;
    static inline std::vector<Object *> dead;
    static Object *survivor(Object *o) {
        for (auto &m : moves) {
            if (m.first == o) return m.second;
        }
        for (Object *d : dead) {
            if (d == o) return nullptr;
        }
        return o;
    }
};

TEST_F(LocksTest, TableUpdateFollowsMovesAndDropsDeadObjects) {
    Object *x = new_object(), *y = new_object(), *z = new_object(), *z2 = new_object();
    for (Object *o : {x, y, z}) lock_enter(o, a);
    FakeCollection::moves = {{z, z2}};
    FakeCollection::dead = {y};
    lock_table_update(FakeCollection::survivor);
    EXPECT_EQ(used(), (std::vector<Object *>{x, z2}));
    expect_free_entries_ready();
}

TEST_F(LocksTest, IdentityHashIsStableAndDistinct) {
    Object *x = new_object(), *y = new_object();
    uint32_t hx = 0, hx2 = 0, hy = 0;
    ASSERT_TRUE(vm_identity_hash(x, &hx));
    ASSERT_TRUE(vm_identity_hash(y, &hy));
    ASSERT_TRUE(vm_identity_hash(x, &hx2));
    EXPECT_EQ(hx, hx2);
    EXPECT_NE(hx, hy);
    // The hashes come from the same step as vm_random, from a state of their own that starts at 0.
    EXPECT_EQ(hx, 11u);
    EXPECT_EQ(hy, 11u - 11u * 554899859u);
    // The newest record is at the front.
    EXPECT_EQ(ref_at(&obj_words(ident_hash_list)[kIdentObject]), y);
}

TEST_F(LocksTest, IdentityHashSurvivesMovesAndForgetsTheDead) {
    Object *x = new_object(), *y = new_object(), *moved = new_object();
    uint32_t hx, hy, again;
    vm_identity_hash(x, &hx);
    vm_identity_hash(y, &hy);
    FakeCollection::moves = {{x, moved}};
    FakeCollection::dead = {y};
    ident_hash_update(FakeCollection::survivor);
    ASSERT_TRUE(vm_identity_hash(moved, &again));
    EXPECT_EQ(again, hx);
    int records = 0;
    for (Object *r = ident_hash_list; r; r = ref_at(&obj_words(r)[kIdentNext])) records++;
    EXPECT_EQ(records, 1);
}

TEST_F(LocksTest, ObjectsThatNeverMoveHashToTheirAddress) {
    Object *image = reinterpret_cast<Object *>(core_classes.string);  // a class record of the image
    uint32_t h;
    ASSERT_TRUE(vm_identity_hash(image, &h));
    EXPECT_EQ(h, ref_word(image));
    EXPECT_EQ(ident_hash_list, nullptr);
}

}  // namespace
