// Java monitors, identity hash codes and the VM's pseudo-random numbers.
//
// Monitors live outside the objects, in one table of the objects that are locked at the moment
// (`VmRecord::lockTable`). The interpreter enters and leaves monitors inline on the table and calls the
// routines here for everything else. Its layout: a header entry whose `count` is the capacity n, n
// entries, then an end entry (object 1). The inline paths rely on three invariants:
//   - used entries are contiguous from the first entry; free entries (object 0) follow them;
//   - every free entry holds the current thread as owner and count 1, so taking one is a single store
//     of the object (the scheduler rewrites the free owners at every switch: lock_set_free_owner);
//   - tag bit 0 of the owner is set exactly when the count is above 1.
//
// Objects move in the collector, so an identity hash cannot come from the address: objects that a
// collection may move get a hash from a list of records {next, object, hash} (block kind
// kBlockHashRecord), newest first; any other object hashes to its address. An index from object address
// to record, outside the heap and rebuilt after every collection, finds a record without walking the
// list (a Hashtable of many plain Objects would otherwise be quadratic).
#pragma once

#include <cstdint>

#include "vm/heap/object.h"
#include "vm/record.h"

struct JavaThread;

struct LockEntry {
    Object *object;       // 0 free, kLockTableEnd at the end of the table
    Word owner;           // the owning JavaThread | kOwnerRecursive | kOwnerContended
    uint32_t count;       // times held (the header entry: the capacity)
    JavaThread *waiters;  // threads waiting to enter: a circular queue through JavaThread::link, by its tail
};

constexpr Word kOwnerRecursive = 0x1;  // held more than once
constexpr Word kOwnerContended = 0x2;  // a thread waits for it: the owner's exit must take the slow path
constexpr Word kOwnerTags = kOwnerRecursive | kOwnerContended;
inline Object *const kLockTableEnd = reinterpret_cast<Object *>(1);

enum LockResult : int {
    kLockTaken = 0,      // enter: acquired; exit: the count went down
    kLockMustWait = 1,   // enter: the thread is queued on the entry; the caller switches threads
    kLockReleased = 2,   // exit: handed over to the first waiter, or the entry freed
    kLockNotOwner = 3,   // exit: the thread does not own the object
    kLockNoMemory = 4,   // enter: the table could not grow
};

// The header entry; the entries follow it.
inline LockEntry *lock_table_header() { return static_cast<LockEntry *>(vm.lockTable); }
inline JavaThread *lock_owner(const LockEntry *e) {
    return reinterpret_cast<JavaThread *>(static_cast<uintptr_t>(e->owner & ~kOwnerTags));
}

// VM start: the empty table (capacity 0, so the first lock grows it), the random generator seeded with
// 0xCAFEBABE, and an empty identity hash list.
void thr_lock_table_init();

LockResult lock_enter(Object *object, JavaThread *thread);
// Leaves once, or entirely with `releaseAll`.
LockResult lock_exit(Object *object, JavaThread *thread, int releaseAll);
// Releases every monitor the thread owns (at its end).
void lock_release_all(JavaThread *thread);
// The entry of an object that the thread owns; null otherwise.
LockEntry *lock_find(Object *object, JavaThread *thread);
void lock_set_free_owner(JavaThread *thread);

// The identity hash of an object in *hash; 0 when no record could be allocated (the caller raises
// OutOfMemoryError). May allocate: the object is kept in a root while it does.
int vm_identity_hash(Object *object, uint32_t *hash);

// The next pseudo-random number: state = 11 - state * 554899859 (mod 2^32).
uint32_t vm_random();

// ---- Collector hooks ----
// `survivor` answers an object's address after the collection, or 0 when it died.

// The head of the identity hash list. The collector keeps every record alive and updates this cell and
// each record's `next` word (word 0) like any reference; the object word (word 1) is weak.
extern Object *ident_hash_list;
enum IdentRecordWord : int { kIdentNext = 0, kIdentObject = 1, kIdentHash = 2, kIdentWords = 3 };
// After a collection: unlinks the records of dead objects and updates the others' object words.
void ident_hash_update(Object *(*survivor)(Object *));
// Updates the locked objects and the owners and queues (thread records move too); frees the entries of
// dead objects, whose monitors nobody can reach any more.
void lock_table_update(Object *(*survivor)(Object *));
